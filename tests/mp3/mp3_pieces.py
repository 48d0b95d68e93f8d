#!/usr/bin/env python3
"""MP3 pieces without re-encoding, checked by two real decoders.

Usage: mp3_pieces.py MP3_CUT_TOOL WORK_DIR [KIND...]
With TW_SPLIT naming tarnwick-split, a VBR file is also cut by it, with a
names list and the piece rules, and each MP3 piece compared with the whole
file's decode at the samples its --json gives; --wav-pieces gives the same
samples as WAV files; cuts alone (nothing decoded) give the same pieces.

A known WAV (espeak-ng speech beside a sweep, 8 s stereo) is encoded here by
ffmpeg's libmp3lame in every kind of the table below, then cut by the tool
(the core's parser and piece builder) at random samples and around frame
edges. Each piece is decoded by ffmpeg and by mpg123 (gapless, as both are by
default): its length must be exactly its cut's, the pieces joined must be the
whole file's decode (ffmpeg bit for bit; mpg123 within 1 LSB on a handful of
samples, as it rounds low-rate files by how many frames it decoded before),
and ffprobe must read each piece's title and track number with the
recording's other tags and both LAME CRCs must hold. Damaged and
free-format files are made from the encoded ones by changing their bytes:
free-format pieces must be exact in mpg123 (FFmpeg reads no free format),
pieces away from the damage exact, and the one holding it noted. Exit 77
(skipped) without ffmpeg.
"""
import array
import json
import os
import random
import shutil
import subprocess
import sys

TOOL, WORK = sys.argv[1], sys.argv[2]
TITLE = "piece %d ピース"
META = ["-metadata", "artist=Tarnwick Test", "-metadata", "album=Pieces", "-metadata", "title=Whole"]

# name, ffmpeg options (after the common ones), how the bytes are changed
KINDS = [
    ("free_format", ["-b:a", "128k"], "free"),
    ("damaged", ["-q:a", "4"], "damage"),
    ("cbr128", ["-b:a", "128k"], None),
    ("cbr192", ["-b:a", "192k"], None),
    ("cbr320", ["-b:a", "320k"], None),
    ("vbr_v0", ["-q:a", "0"], None),
    ("vbr_v5", ["-q:a", "5"], None),
    ("mpeg2_22050", ["-ar", "22050", "-b:a", "64k"], None),
    ("mono_32000_48k", ["-ar", "32000", "-ac", "1", "-b:a", "48k"], None),
    ("mpeg25_8000", ["-ar", "8000", "-ac", "1", "-b:a", "16k"], None),
    ("id3v23_id3v1", ["-b:a", "96k", "-id3v2_version", "3", "-write_id3v1", "1"], None),
    ("no_info_tag", ["-b:a", "128k", "-write_xing", "0"], None),
]


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw).stdout


def make_source(path):
    speech = os.path.join(WORK, "speech.wav")
    run(["espeak-ng", "-s", "150", "-w", speech,
         "Cutting a recording into pieces should lose nothing at all, not a single sample at the joins."])
    # Without dither (-D): the same file every run, so a failure comes again.
    run(["sox", "-D", speech, "-r", "44100", "-c", "1", os.path.join(WORK, "left.wav"), "pad", "0.3", "0", "trim", "0", "8"])
    run(["sox", "-D", "-n", "-r", "44100", "-c", "1", os.path.join(WORK, "right.wav"), "synth", "8", "sine", "200-6000",
         "vol", "0.3"])
    run(["sox", "-D", "-M", os.path.join(WORK, "left.wav"), os.path.join(WORK, "right.wav"), path])


def header_frames(data):
    """Offsets of the frame headers after the tag (a walk of its own, MPEG-1 layer III only)."""
    at = 10 + ((data[6] & 0x7F) << 21 | (data[7] & 0x7F) << 14 | (data[8] & 0x7F) << 7 | (data[9] & 0x7F)) \
        if data[:3] == b"ID3" else 0
    rates = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
    out = []
    while at + 4 <= len(data) and data[at] == 0xFF:
        size = 144 * rates[data[at + 2] >> 4] * 1000 // 44100 + ((data[at + 2] >> 1) & 1)
        out.append(at)
        at += size
    return out


def change(path, how):
    data = bytearray(open(path, "rb").read())
    frames = header_frames(data)
    if how == "free":  # every header's bit-rate index 0: the same frames as free format
        for at in frames:
            data[at + 2] &= 0x0F
    elif how == "damage":  # a header and a little of its frame turned to noise, a third of the way in
        at = frames[len(frames) // 3]
        data[at:at + 40] = bytes(random.Random(1).randrange(256) for _ in range(40))
    open(path, "wb").write(bytes(data))


def decode(cmd):
    return array.array("h", run(cmd))


def ffmpeg_pcm(path):
    return decode(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-"])


def mpg123_pcm(path):
    return decode(["mpg123", "-q", "-s", path])


def stream_info(path):
    line = run([TOOL, path]).decode().split()
    return {line[i]: int(line[i + 1]) for i in range(0, len(line), 2)}


def cut_positions(info, rng, one_sample):
    total, rate = info["samples"], info["rate"]
    spf = 1152 if rate >= 32000 else 576
    lead = info["delay"] + 529 if info["lame"] else 0
    edges = [k * spf - lead for k in range(2, total // spf) if 0 < k * spf - lead < total]
    cuts = {rng.randrange(1, total) for _ in range(5)}
    for i, e in enumerate(rng.sample(edges, 3)):
        cuts.add(e + (i - 1))  # on an edge, one before and one after, on three different edges
    if one_sample:  # a piece of one sample in the middle of a frame
        cuts |= {edges[-1] - 600, edges[-1] - 599}
    return sorted(c for c in cuts if 0 < c < total)


def check_tags(piece, k, count, id3v1):
    tags = json.loads(run(["ffprobe", "-v", "error", "-show_entries", "format_tags", "-of", "json", piece]))
    tags = {key.lower(): v for key, v in tags["format"].get("tags", {}).items()}
    problems = []
    want = {"title": TITLE % k, "track": "%d/%d" % (k, count), "artist": "Tarnwick Test", "album": "Pieces"}
    for key, value in want.items():
        if tags.get(key) != value:
            problems.append("%s %r, not %r" % (key, tags.get(key), value))
    if id3v1:
        v1 = open(piece, "rb").read()[-128:]
        title = ("piece %d ???" % k).encode().ljust(30, b"\0")
        if v1[:3] != b"TAG" or v1[3:33] != title or v1[125] != 0 or v1[126] != k or v1[33:63].rstrip(b"\0") != b"Tarnwick Test":
            problems.append("ID3v1 %r" % v1[:70])
    return problems


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def check_lame_crcs(piece):
    """The LAME part's two CRCs (of the tag frame before them, and of the
    music after the tag frame), as its format gives them."""
    data = open(piece, "rb").read()
    at = 10 + ((data[6] & 0x7F) << 21 | (data[7] & 0x7F) << 14 | (data[8] & 0x7F) << 7 | (data[9] & 0x7F))
    h = data[at:at + 4]
    mpeg1, mono = (h[1] >> 3) & 3 == 3, h[3] >> 6 == 3
    rates = {3: [44100, 48000, 32000], 2: [22050, 24000, 16000], 0: [11025, 12000, 8000]}[(h[1] >> 3) & 3]
    kbps = ([0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320] if mpeg1 else
            [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160])[h[2] >> 4]
    size = (144 if mpeg1 else 72) * kbps * 1000 // rates[(h[2] >> 2) & 3]
    side = (17 if mono else 32) if mpeg1 else (9 if mono else 17)
    lame = at + 4 + side + 120  # after the Xing part with all four fields
    music_end = at + int.from_bytes(data[lame + 28:lame + 32], "big")
    problems = []
    if int.from_bytes(data[lame + 34:lame + 36], "big") != crc16(data[at:lame + 34]):
        problems.append("LAME tag CRC")
    if int.from_bytes(data[lame + 32:lame + 34], "big") != crc16(data[at + size:music_end]):
        problems.append("music CRC")
    return problems


def compare(joined, whole, tolerance):
    if len(joined) != len(whole):
        return "joined %d values, whole %d" % (len(joined), len(whole))
    diffs = [abs(a - b) for a, b in zip(joined, whole) if a != b]
    if not diffs:
        return ""
    worst = max(diffs)
    if tolerance and worst <= 1 and len(diffs) <= tolerance:
        return ""
    return "%d values differ, by up to %d" % (len(diffs), worst)


# Issue bits of the core (mp3_pieces.h) the test tells apart.
NO_TAG, DAMAGED, FREE_FORMAT, INSIDE_ONE_FRAME = 1, 2, 4, 16


def exact_for(decoder, issues):
    """Whether a piece must decode to exactly its samples. FFmpeg trims a
    frame at one end only, so a piece inside one frame is exact in mpg123,
    which also reads free format (FFmpeg does not)."""
    issues &= ~NO_TAG
    return issues == 0 or (decoder == "mpg123" and issues in (INSIDE_ONE_FRAME, FREE_FORMAT))


def check_decodes(mp3, files, pieces, channels, decoders, damaged, lead):
    problems = []
    for decoder, pcm, tolerance in decoders:
        whole = pcm(mp3)
        if lead:
            # The whole free-format file is the reference here; one decode of it
            # by mpg123 once came out short under load: it is read twice.
            again = pcm(mp3)
            if len(again) != len(whole):
                print("note: %s decoded %s as %d and %d values" % (decoder, os.path.basename(mp3), len(whole), len(again)))
                whole = max(whole, again, key=len)
        if lead:  # a decoder that did not trim the whole file's delay and padding
            whole = whole[lead * channels:(lead + pieces[-1]["end"]) * channels]
        count = len(pieces)
        if damaged and decoder == "ffmpeg":
            # FFmpeg drops a frame more than mpg123 at the damage (whose count
            # the core follows): only the pieces before it compare.
            count = min(k for k, p in enumerate(pieces) if p["issues"] & DAMAGED)
            whole = whole[:pieces[count]["first"] * channels]
        joined = array.array("h")
        for k, (piece, plan) in enumerate(zip(files[:count], pieces[:count]), 1):
            span = whole[plan["first"] * channels:plan["end"] * channels]
            if not exact_for(decoder, plan["issues"]):
                joined.extend(span)  # compared only where its neighbours are
                continue
            got = pcm(piece)
            if len(got) != len(span):
                problems.append("%s: piece %d holds %d values, not %d" % (decoder, k, len(got), len(span)))
            joined.extend(got)
        diff = compare(joined, whole, tolerance(len(whole)))
        if diff:
            problems.append("%s: %s" % (decoder, diff))
    return problems


def check_kind(name, options, how, source, decoders):
    mp3 = os.path.join(WORK, name + ".mp3")
    run(["ffmpeg", "-v", "error", "-y", "-i", source] + META + ["-c:a", "libmp3lame"] + options + [mp3])
    if how:
        change(mp3, how)
    info = stream_info(mp3)
    cuts = cut_positions(info, random.Random(name), name == "cbr128")
    out = os.path.join(WORK, name)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    lines = run([TOOL, mp3, os.path.join(out, "p")] + [str(c) for c in cuts]).decode().splitlines()[1:]
    pieces = [dict(zip(l.split()[2::2], map(int, l.split()[3::2]))) for l in lines]
    files = sorted(os.path.join(out, f) for f in os.listdir(out))
    noted = {k: p["issues"] & ~NO_TAG for k, p in enumerate(pieces, 1) if p["issues"] & ~NO_TAG}
    problems = []
    if how == "free":
        # FFmpeg reads no free format. mpg123 does, and trims the pieces by
        # their tags, but not the whole file by its own.
        if len(noted) != len(pieces) or any(v != FREE_FORMAT for v in noted.values()):
            problems.append("free format: pieces noted %s" % noted)
        mpg123 = [d for d in decoders if d[0] == "mpg123"]
        problems += check_decodes(mp3, files, pieces, info["channels"], mpg123, False, info["delay"] + 529)
    else:
        problems += check_decodes(mp3, files, pieces, info["channels"], decoders, how == "damage", 0)
        expected = {DAMAGED} if how == "damage" else {INSIDE_ONE_FRAME} if name == "cbr128" else set()
        if set(noted.values()) != expected or (how == "damage" and (len(noted) > 2 or info["skipped"] == 0)):
            problems.append("pieces noted %s, %d bytes skipped" % (noted, info["skipped"]))
    for k, piece in enumerate(files if how != "free" else [], 1):  # ffprobe opens no free format
        problems += ["piece %d: %s" % (k, p) for p in check_tags(piece, k, len(files), "id3v1" in name)]
        problems += ["piece %d: %s" % (k, p) for p in check_lame_crcs(piece)]
    print("%-16s %2d pieces, %7d samples, cuts %s...: %s" % (
        name, len(files), info["samples"], cuts[:3], "ok" if not problems else "FAILED"))
    for p in problems:
        print("    " + p)
    return not problems


def check_split(split, source):
    mp3 = os.path.join(WORK, "split.mp3")
    run(["ffmpeg", "-v", "error", "-y", "-i", source] + META + ["-c:a", "libmp3lame", "-q:a", "2", mp3])
    names = os.path.join(WORK, "names.txt")
    open(names, "w", encoding="utf-8").write("序章\n\nthird one\n")
    whole = ffmpeg_pcm(mp3)
    problems = []
    for kind in ("--mp3-pieces", "--wav-pieces"):
        out = os.path.join(WORK, "split" + kind[1:5])
        shutil.rmtree(out, ignore_errors=True)
        line = run([split, kind, "-c", "1.5s", "-c", "4.25s", "--max", "2", "--margin", "50", "--names", names,
                    "--json", "-d", out, mp3])
        pieces = json.loads(line)["pieces"]
        tail = ".mp3" if kind == "--mp3-pieces" else ".wav"
        for k, p in enumerate(pieces, 1):
            want = whole[p["first"]:p["first"] + p["samples"]]
            if not p["file"].endswith(tail) or ffmpeg_pcm(p["file"]) != want:
                problems.append("%s: %s is not samples %d + %d" % (kind, p["file"], p["first"], p["samples"]))
            if tail == ".mp3":
                mp3_facts = p["mp3"]
                if (mp3_facts["first_sample"], mp3_facts["last_sample"] + 1) != (p["first_frame"], p["first_frame"] + p["frames"]) \
                        or mp3_facts["bytes"] != os.path.getsize(p["file"]):
                    problems.append("--json mp3 facts %r" % mp3_facts)
                tags = json.loads(run(["ffprobe", "-v", "error", "-show_entries", "format_tags", "-of", "json", p["file"]]))
                tags = {key.lower(): v for key, v in tags["format"].get("tags", {}).items()}
                if (tags.get("title"), tags.get("track")) != (p["name"], "%d/%d" % (k, len(pieces))):
                    problems.append("%s: tags %r" % (p["file"], tags))
        if len(pieces) < 5 or pieces[0]["name"] != "序章" or pieces[2]["name"] != "third one":
            problems.append("%s: pieces %r" % (kind, [p["name"] for p in pieces]))
    # Cuts alone need no samples: the file is not decoded, and the pieces
    # are those of a run that decoded it.
    runs = []
    for extra in ([], ["--json"]):
        out = os.path.join(WORK, "split_frames%d" % len(extra))
        shutil.rmtree(out, ignore_errors=True)
        run([split, "-c", "1.5s", "-c", "4.25s", "-d", out, mp3] + extra)
        runs.append([open(os.path.join(out, f), "rb").read() for f in sorted(os.listdir(out))])
    if len(runs[0]) != 3 or runs[0] != runs[1]:
        problems.append("cut by its frames alone: %d pieces, not those of the decoded file" % len(runs[0]))
    print("tarnwick-split    %d pieces MP3 and WAV: %s" % (len(pieces), "ok" if not problems else "FAILED"))
    for p in problems:
        print("    " + p)
    return not problems


def main():
    missing = [t for t in ("ffmpeg", "ffprobe", "sox", "espeak-ng") if not shutil.which(t)]
    if missing:
        print("mp3_pieces: skipped: %s not installed" % ", ".join(missing))
        return 77
    # mpg123 rounds low-rate files by one here and there: at most 1 LSB on 0.02% of the values.
    decoders = [("ffmpeg", ffmpeg_pcm, lambda n: 0)]
    if shutil.which("mpg123"):
        decoders.append(("mpg123", mpg123_pcm, lambda n: n // 5000))
    else:
        print("mp3_pieces: mpg123 not installed: its checks are skipped, ffmpeg's run")
    os.makedirs(WORK, exist_ok=True)
    source = os.path.join(WORK, "source.wav")
    make_source(source)
    chosen = [k for k in KINDS if k[0] in sys.argv[3:]] if sys.argv[3:] else KINDS
    ok = all([check_kind(name, options, how, source, decoders) for name, options, how in chosen])
    if os.environ.get("TW_SPLIT"):
        ok = check_split(os.environ["TW_SPLIT"], source) and ok
    print("mp3_pieces: %s" % ("all kinds exact" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
