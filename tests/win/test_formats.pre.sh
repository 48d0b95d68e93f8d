# Sourced before the run: a 64 KiB file system for the full-disk save, when
# this runs as root (CI does); the test says so and skips it otherwise.
mkdir -p full
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=64k tmpfs full 2>/dev/null; then
  touch full/.mounted
else
  echo "test_formats: no tmpfs mounted (needs root); the full-disk case is skipped"
fi
