# After the run: the small file system goes away whatever happened.
work=$1
if mountpoint -q "$work/full" 2>/dev/null; then umount "$work/full"; fi
true
