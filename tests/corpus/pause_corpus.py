#!/usr/bin/env python3
"""Spoken recordings with a known truth, and how well pause cutting finds it.

Each file is made here: one utterance at a time, trimmed to its speech,
joined with pauses of known lengths, room noise mixed under everything. The
utterances are espeak-ng sentences (synthetic), and recordings of real people
that Debian ships: the asterisk prompts (one woman, 8 kHz) and the alsa
channel names (two-word phrases, 48 kHz). The truth is where each pause
between two utterances lies, in frames of the file's own rate; it is written
as the file is made. A cut counts as right when it falls inside such a pause
(precision); a pause counts as found when it holds a cut (recall). A cut
anywhere else, between the two words of a phrase too, is a cut inside speech.

Usage: pause_corpus.py SPLIT_PROGRAM WORK_DIR [NAME...]
Makes the files that WORK_DIR lacks, then runs SPLIT_PROGRAM -n --json -p 400
on every file (or the NAMEs) at its estimated threshold, ffmpeg's
silencedetect over a grid of levels and lengths on the hard file (its best
setting is the one to beat), and two voice activity detectors from npm
(peers/, installed into WORK_DIR/peers) on the file made 16 kHz mono: Silero
VAD, whose F1 is the one to reach on every file, and WebRTC VAD. Their speech
becomes cuts by the program's rule: one in the middle of every gap of at
least 400 ms between detected speech, none at the edges. Results that do not
depend on SPLIT_PROGRAM are kept in WORK_DIR. Every file is also cut into
pieces with --max 10 --min 1 --margin 100, checked against its truth, and a
tape of 8 synthetic tracks and an album of 7 recorded ones, with hiss between them, are cut
with --pieces N alone and beside -p 2000. Exit
status 1 when a goal is missed: F1 below 0.98 or below Silero's on a file,
not above ffmpeg's on the hard file, a piece outside the rules, or a tape or
album cut anywhere but between its tracks.
"""
import array
import gzip
import json
import math
import os
import random
import re
import shutil
import subprocess
import sys
import wave

RATE = 22050  # espeak-ng's
PAUSE_MS = 400
ASTERISK = "/usr/share/asterisk/sounds/en_US_f_Allison"
TRANSCRIPTS = "/usr/share/doc/asterisk-core-sounds-en/core-sounds-en.txt.gz"
ALSA = ["/usr/share/sounds/alsa/%s_%s.wav" % (a, b)
        for a in ("Front", "Rear", "Side") for b in ("Center", "Left", "Right") if (a, b) != ("Side", "Center")]

EN = [
    "Good morning, and welcome to the second lecture of this course.",
    "Today we look at how sound travels through air, water and stone.",
    "A wave carries energy, not matter, from one place to another.",
    "When you speak, your voice moves the air in front of you.",
    "That motion spreads out, and it gets weaker as it goes.",
    "Engineers measure this with a microphone and a recorder.",
    "The recorder samples the signal many thousand times a second.",
    "Each sample is a number, and the numbers make the waveform.",
    "Quiet parts, like the pauses between sentences, have small numbers.",
    "Loud parts, like vowels, have large ones.",
    "So a program can find the pauses by looking at the numbers.",
    "It has to ignore the noise of the room, of course.",
    "We will try that in the exercise after the break.",
    "Thank you, and see you next week.",
]
JA = [
    "みなさん、おはよう ございます。",
    "きょうは、おとの つたわりかたに ついて はなします。",
    "おとは、くうきの なかを なみとして すすみます。",
    "こえを だすと、まえの くうきが うごきます。",
    "その うごきは、とおくへ いくほど よわく なります。",
    "マイクは、その うごきを でんきに かえます。",
    "レコーダーは、いちびょうに なんまんかいも かずを とります。",
    "しずかな ところでは、かずが ちいさく なります。",
    "だから、かずを みれば、ぶんの あいだが わかります。",
    "では、やすみの あとで、やって みましょう。",
]


def run(args, **kw):  # sox runs with -R: the same dither every time, the same files
    r = subprocess.run(args, capture_output=True, **kw)
    if r.returncode:
        sys.exit("FAIL: %s exited with %d\n%s" % (" ".join(args), r.returncode, r.stderr.decode(errors="replace")[-2000:]))
    return r


def read_wav(path):
    """Samples and rate of a mono 16-bit file."""
    with wave.open(path) as w:
        assert w.getsampwidth() == 2 and w.getnchannels() == 1, path
        a = array.array("h")
        a.frombytes(w.readframes(w.getnframes()))
        return a, w.getframerate()


def write_wav(path, samples, rate=RATE):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(array.array("h", [max(-32768, min(32767, int(round(v)))) for v in samples]).tobytes())


def sentence(text, voice, work, n):
    path = os.path.join(work, "s%03d.wav" % n)
    args = ["espeak-ng", "-w", path] + (["-v", voice] if voice else []) + [text]
    run(args)
    s, _ = read_wav(path)
    os.remove(path)
    loud = [i for i, v in enumerate(s) if abs(v) > 8]
    return [float(v) for v in s[loud[0]:loud[-1] + 1]]


def levels(s, rate):
    """dBFS of each 10 ms window."""
    n = rate // 100
    return [10 * math.log10(sum(v * v for v in s[i:i + n]) / n / 32768.0 ** 2 + 1e-12)
            for i in range(0, len(s) - n + 1, n)]


def speech_windows(lv):
    """First and end window above -50 dBFS, the level of the noise mixed under everything."""
    loud = [i for i, x in enumerate(lv) if x > -50]
    return loud[0], loud[-1] + 1


def longest_below(lv, level):
    run_, best = 0, 0
    for x in lv:
        run_ = run_ + 1 if x < level else 0
        best = max(best, run_)
    return best


def phrases():
    """The asterisk prompts that are one phrase, sorted: one sentence in the transcript, 1.2-6 s of
    speech, no quiet run inside longer than 0.25 s under -45 dBFS, and none longer than 0.3 s under
    -30 dBFS, which is what stays above the noise once an utterance is 20 dB quieter. Longer prompts,
    with pauses between their sentences, are left out rather than marked."""
    text = {}
    for line in gzip.open(TRANSCRIPTS, "rt", errors="replace"):
        m = re.match(r"([\w-]+): (.*)", line.strip())
        if m:
            text[m.group(1)] = m.group(2).rstrip(" .?!")
    chosen = []
    for name in sorted(text):
        path = os.path.join(ASTERISK, name + ".wav")
        if text[name].startswith("[") or re.search(r"[.?!;:]\s", text[name]) or not os.path.exists(path):
            continue
        lv = levels(*read_wav(path))
        a, b = speech_windows(lv)
        if 120 <= b - a <= 600 and longest_below(lv[a:b], -45) < 25 and longest_below(lv[a:b], -30) < 30:
            chosen.append(path)
    return chosen


def utterance(path, rate, work, gain_db=0.0, cents=0, tempo=1.0):
    """A recording's speech at rate, trimmed to its 10 ms windows above -50 dBFS, then gain_db
    louder. cents and tempo shift pitch and speed a little (sox), to pass for another speaker."""
    out = os.path.join(work, "u.wav")
    fx = ["pitch", str(cents), "tempo", "-s", "%.3f" % tempo] if cents or tempo != 1.0 else []
    run(["sox", "-R", "-G", path, "-r", str(rate), "-b", "16", out] + fx)
    s, _ = read_wav(out)
    os.remove(out)
    a, b = speech_windows(levels(s, rate))
    n, g = rate // 100, 10 ** (gain_db / 20.0)
    return [v * g for v in s[a * n:b * n]]


def pink(seconds, work, rate=RATE):
    path = os.path.join(work, "noise.wav")
    run(["sox", "-R", "-n", "-r", str(rate), "-c", "1", "-b", "16", path, "synth", str(seconds), "pinknoise",
         "vol", "0.5"], env=dict(os.environ, SOX_OPTS="-R"))
    s = [float(v) for v in read_wav(path)[0]]
    os.remove(path)
    rms = math.sqrt(sum(v * v for v in s) / len(s))
    return [v / rms for v in s]  # RMS 1


def reverb(samples, work):
    src, dst = os.path.join(work, "dry.wav"), os.path.join(work, "wet.wav")
    write_wav(src, samples)
    run(["sox", "-R", src, dst, "reverb", "40", "50", "60"])
    wet = [float(v) for v in read_wav(dst)[0]]
    os.remove(src)
    os.remove(dst)
    return wet[:len(samples)] + [0.0] * max(0, len(samples) - len(wet))


def db(level):
    return 32768.0 * 10 ** (level / 20.0)


def make(name, parts, work, seed, rate=RATE, hard=False, convert=None):
    """Writes work/name.wav from the utterances in parts (samples at rate) and work/name.truth with
    its pauses as (first frame, end frame). convert: (rate, channels, bits) sox makes of the file."""
    rng = random.Random(seed)
    speech = [0.0] * int(0.8 * rate)
    pauses = []
    breaths = []
    heard = []  # each utterance's first and end frame above the room's -50 dBFS, as it is mixed
    for i, s in enumerate(parts):
        if hard and 2 <= i <= 5:
            s = [v * 0.1 for v in s]  # the speaker turns away: 20 dB quieter
        if i > 0:
            gap = int(rng.uniform(0.5 if not hard else 0.6, 2.5) * rate)
            start = len(speech)
            speech += [0.0] * gap
            pauses.append((start, len(speech)))
            if hard and i % 2 == 0:
                breaths.append(len(speech) - int(0.4 * rate))
        loud = [k for k, x in enumerate(levels(s, rate)) if x > -50] or [0]
        heard.append((len(speech) + loud[0] * (rate // 100), len(speech) + (loud[-1] + 1) * (rate // 100)))
        speech += s
    speech += [0.0] * int(0.8 * rate)
    n = len(speech)
    if hard:
        speech = reverb(speech, work)
    noise = pink(n / rate + 0.1, work, rate)
    out = []
    for i in range(n):
        if hard:
            # A fan starts at 60%: the noise climbs from -62 to -42 dBFS in 2 s.
            rise = min(1.0, max(0.0, (i - 0.6 * n) / (2.0 * rate)))
            level = -62.0 + 20.0 * rise
        else:
            level = -50.0
        hum = db(-62.0) * math.sin(2 * math.pi * 50 * i / rate)
        out.append(speech[i] + db(level) * noise[i] + hum)
    for b in breaths:  # a breath: 0.25 s of soft noise just before a sentence
        length = int(0.25 * rate)
        for k in range(length):
            env = math.sin(math.pi * k / length)
            out[b + k] += db(-38.0) * env * noise[(b * 7 + k) % n]
    path = os.path.join(work, name + ".wav")
    channels = 1
    if convert:
        write_wav(path + ".tmp.wav", out, rate)
        to, channels, bits = convert
        run(["sox", "-R", path + ".tmp.wav", "-r", str(to), "-c", str(channels), "-b", str(bits), path])
        os.remove(path + ".tmp.wav")
        pauses = [(a * to // rate, b * to // rate) for a, b in pauses]
        heard = [(a * to // rate, b * to // rate) for a, b in heard]
    else:
        write_wav(path, out, rate)
    with open(os.path.join(work, name + ".truth"), "w") as f:
        json.dump({"channels": channels, "pauses": pauses, "heard": heard}, f)


def voices(pool, count, rng, rate, work, shift=False):
    """count prompts taken from pool at rate, each 15-20 dB quieter with a chance of 1/3 (another
    speaker, further away), else 0-3 dB down."""
    parts = []
    for _ in range(count):
        path = pool.pop(rng.randrange(len(pool)))
        gain = rng.uniform(-20, -15) if rng.random() < 1 / 3 else rng.uniform(-3, 0)
        cents, tempo = (rng.randint(-150, 150), rng.uniform(0.94, 1.06)) if shift else (0, 1.0)
        parts.append(utterance(path, rate, work, gain, cents, tempo))
    return parts


def synthetic(sentences, work):
    return [sentence(text, voice, work, i) for i, (text, voice) in enumerate(sentences)]


def real(name, work, seed):
    """The parts of one file of real voices: prompts drawn without repeats across files."""
    rng = random.Random(seed)
    if name == "alsa_phrases":  # the eight phrases as they are, in order and then shuffled
        order = ALSA + rng.sample(ALSA, len(ALSA))
        return [utterance(p, 48000, work) for p in order]
    pool = phrases()
    random.Random(0).shuffle(pool)
    pool = {"voices_8k": pool[:24], "voices_48k": pool[24:48], "mixed_voices": pool[48:60]}[name]
    if name == "voices_8k":  # the prompts as recorded, at their 8 kHz
        return voices(pool, 24, rng, 8000, work)
    if name == "voices_48k":  # another 24, shifted in pitch and speed, later made 48 kHz stereo 24-bit
        return voices(pool, 24, rng, 8000, work, shift=True)
    # mixed_voices: 12 prompts and the 8 phrases at 44.1 kHz, shuffled, a third of each quieter
    parts = voices(pool, 12, rng, 44100, work) + [
        utterance(p, 44100, work, rng.uniform(-20, -15) if i % 3 == 0 else 0.0) for i, p in enumerate(ALSA)]
    rng.shuffle(parts)
    return parts


# name: (how its utterances are made, seed of its pauses, make()'s other arguments)
FILES = {
    "en_lecture": (lambda w: synthetic([(t, None) for t in EN], w), 1, {}),
    "hard_room": (lambda w: synthetic([(t, None) for t in EN[:8]] + [(t, "ja") for t in JA[:7]], w), 2,
                  {"hard": True}),
    "ja_lecture": (lambda w: synthetic([(t, "ja") for t in JA], w), 3, {}),
    "voices_8k": (lambda w: real("voices_8k", w, 4), 4, {"rate": 8000}),
    "voices_48k": (lambda w: real("voices_48k", w, 5), 5, {"rate": 8000, "convert": (48000, 2, 24)}),
    "alsa_phrases": (lambda w: real("alsa_phrases", w, 6), 6, {"rate": 48000}),
    "mixed_voices": (lambda w: real("mixed_voices", w, 7), 7, {"rate": 44100}),
}


def truth(name, work):
    """(channels, pauses) of work/name.wav, made first when missing or made before the truth said
    where each utterance is heard."""
    path = os.path.join(work, name + ".truth")
    if not os.path.exists(path) or "heard" not in json.load(open(path)):
        parts, seed, kw = FILES[name]
        make(name, parts(work), work, seed, **kw)
    t = json.load(open(path))
    return t["channels"], [tuple(p) for p in t["pauses"]]


def heard(name, work):
    """Where each utterance of work/name.wav stands over the room (-50 dBFS), in seconds."""
    t = json.load(open(os.path.join(work, name + ".truth")))
    rate = int(run(["sox", "--i", "-r", os.path.join(work, name + ".wav")]).stdout)
    return [(a / rate, b / rate) for a, b in t["heard"]]


def score(cuts, pauses):
    inside = sum(1 for c in cuts if any(a <= c < b for a, b in pauses))
    found = sum(1 for a, b in pauses if any(a <= c < b for c in cuts))
    precision = inside / len(cuts) if cuts else 0.0
    recall = found / len(pauses)
    f1 = 2 * precision * recall / (precision + recall) if precision + recall else 0.0
    return precision, recall, f1


def split_cuts(program, path, channels):
    """Cuts in frames: the program counts one channel's values interleaved."""
    out = run([program, "-n", "--json", "-p", str(PAUSE_MS), path]).stdout.decode()
    j = json.loads(out.splitlines()[0])
    return [int(c) // channels for c in j["cuts"]], j["threshold"]


def silencedetect(path, level, duration, frames):
    err = subprocess.run(["ffmpeg", "-hide_banner", "-nostats", "-i", path, "-af",
                          "silencedetect=noise=%ddB:d=%g" % (level, duration), "-f", "null", "-"],
                         capture_output=True).stderr.decode()
    starts = [float(x) for x in re.findall(r"silence_start: (-?[\d.]+)", err)]
    ends = [float(x) for x in re.findall(r"silence_end: ([\d.]+)", err)]
    cuts = []
    for s, e in zip(starts, ends):
        a, b = int(s * RATE), int(e * RATE)
        if a > 0 and b < frames:  # no cut in silence touching either end
            cuts.append((a + b) // 2)
    return cuts


def cached(path, sources, compute):
    """compute()'s JSON, kept in path while it is newer than the files it was computed from."""
    if os.path.exists(path) and all(os.path.getmtime(path) >= os.path.getmtime(s) for s in sources):
        return json.load(open(path))
    value = compute()
    with open(path, "w") as f:
        json.dump(value, f)
    return value


def ffmpeg_best(path, pauses):
    frames = len(read_wav(path)[0])
    best = max(((score(silencedetect(path, lv, d, frames), pauses), lv, d)
                for lv in range(-60, -20, 3) for d in (0.2, 0.3, 0.4, 0.5, 0.7)),
               key=lambda x: x[0][2])
    return list(best[0]) + [best[1], best[2]]


PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "peers")


def install_peers(work):
    """work/peers with the detectors of the committed lock, installed again when the lock changes.
    onnxruntime-node's CPU build is in its package; its install step would fetch GPU parts."""
    d = os.path.join(work, "peers")
    lock = open(os.path.join(PEERS, "package-lock.json")).read()
    stamp = os.path.join(d, "node_modules", "installed-from.json")
    if not os.path.exists(stamp) or open(stamp).read() != lock:
        os.makedirs(d, exist_ok=True)
        for f in ("package.json", "package-lock.json"):
            shutil.copy(os.path.join(PEERS, f), d)
        run(["npm", "ci", "--no-audit", "--no-fund"], cwd=d, stdin=subprocess.DEVNULL,
            env=dict(os.environ, ONNXRUNTIME_NODE_INSTALL="skip", CI="true"))
        with open(stamp, "w") as f:
            f.write(lock)
    shutil.copy(os.path.join(PEERS, "vad.mjs"), d)  # beside its node_modules
    return d


def peer_segments(peers, work, name):
    """{detector: [[start s, end s], ...]} on work/name.wav made 16 kHz mono 16-bit."""
    src, low = os.path.join(work, name + ".wav"), os.path.join(work, name + ".16k.wav")
    run(["sox", "-R", src, "-r", "16000", "-c", "1", "-b", "16", low])
    try:
        return {k: json.loads(run(["node", os.path.join(peers, "vad.mjs"), k, low]).stdout)
                for k in ("silero", "webrtc")}
    finally:
        os.remove(low)


def rule_cuts(segments, rate):
    """One cut in the middle of every gap of at least PAUSE_MS between speech, none at the edges."""
    return [int((a[1] + b[0]) / 2 * rate) for a, b in zip(segments, segments[1:]) if b[0] - a[1] >= PAUSE_MS / 1000]


RULES = ["--max", "10", "--min", "1", "--margin", "100"]


def rules_check(program, work, name, channels, pauses):
    """Pieces at -p 400 with RULES, written: every piece 1-10 s, its edges in pauses, no more than
    the margin (and the program's own padding) before its first utterance and after its last,
    and read whole by soxi. Returns the problems."""
    path = os.path.join(work, name + ".wav")
    rate = int(run(["sox", "--i", "-r", path]).stdout)
    frames = int(run(["sox", "--i", "-s", path]).stdout)
    lead = 0.8  # make() puts this much room before the first utterance and after the last
    bounds = [lead] + [x / rate for p in pauses for x in p] + [frames / rate - lead]
    utterances = list(zip(bounds[0::2], bounds[1::2]))
    out = os.path.join(work, "rules_" + name)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    try:
        j = json.loads(run([program, "--json", "-p", str(PAUSE_MS)] + RULES + ["-d", out, path]).stdout.decode())
        # slack: the program's padding of speech and the echo of a reverberant room's last word
        margin, slack, within = float(RULES[5]) / 1000, 0.6, 0.02
        problems = []
        for k, piece in enumerate(j["pieces"]):
            a, b = float(piece["start"]), float(piece["end"])
            inside = [u for u in utterances if u[0] < b and u[1] > a]
            if not 1.0 - 1e-6 <= b - a <= 10.0 + 1e-6:
                problems.append("piece %d is %.3f s long" % (k, b - a))
            # No speech lost: every utterance's first and last sound over the room inside its piece,
            # within 20 ms (what lies under the room's noise nobody can tell from it).
            if any(h[0] + within < a < h[1] or h[0] < b < h[1] - within for h in heard(name, work)):
                problems.append("piece %d (%.3f-%.3f s) starts or ends inside an utterance" % (k, a, b))
            elif not inside or a < inside[0][0] - margin - slack or b > inside[-1][1] + margin + slack:
                problems.append("piece %d (%.3f-%.3f s) keeps more than the margin around its speech" % (k, a, b))
            samples = int(run(["soxi", "-s", os.path.join(out, os.path.basename(piece["file"]))]).stdout)
            if samples * channels != int(piece["samples"]):
                problems.append("soxi reads %d frames of piece %d" % (samples, k))
        print("%-12s %s: %d pieces, %s" % (name, " ".join(RULES), len(j["pieces"]),
                                          "all within the rules" if not problems else "; ".join(problems[:4])))
        return problems
    finally:
        shutil.rmtree(out, ignore_errors=True)


def tail_room_check(program, work):
    """A recording that ends in 3 s of its room: no piece of room alone, with the rules or without."""
    src, path = os.path.join(work, "en_lecture.wav"), os.path.join(work, "tail_room.wav")
    run(["sox", "-R", src, path, "pad", "0", "2.2"])  # 0.8 s of room already, 3 s in all
    noise = os.path.join(work, "tail_noise.wav")
    frames = int(run(["sox", "--i", "-s", path]).stdout)
    write_wav(noise, [v * db(-50.0) for v in pink(frames / RATE + 0.1, work)][:frames])
    mixed = os.path.join(work, "tail_mixed.wav")
    run(["sox", "-R", "-m", path, noise, mixed])
    last = (frames / RATE) - 3.0  # where the room alone begins
    problems = []
    for rules in (["--max", "10", "--min", "1", "--margin", "100"], ["--max", "4"], ["--pieces", "20"]):
        j = json.loads(run([program, "-n", "--json", "-p", str(PAUSE_MS)] + rules + [mixed]).stdout.decode())
        alone = [p for p in j["pieces"] if float(p["start"]) >= last]
        if alone:
            problems.append("%s: a piece of room alone at %.3f s" % (" ".join(rules), float(alone[0]["start"])))
    for f in (path, noise, mixed):
        os.remove(f)
    print("tail_room    3 s of room at the end: %s" % ("no piece of room alone" if not problems else "; ".join(problems)))
    return not problems


def tape(work):
    """work/tape.wav: 8 tracks of steady chords (44.1 kHz stereo), each with a passage near the hiss
    inside it, 2-4 s of hiss between them. Returns the gaps in seconds."""
    path, gaps, parts, t = os.path.join(work, "tape.wav"), [], [], 0.0
    for k, f in enumerate((220, 247, 262, 294, 330, 349, 392, 440)):
        loud, quiet, after, gap = 30 + 4 * k, 4 + k % 4, 20 + (5 * k) % 13, 2 + (7 * k) % 3
        for name, fx in (("a", ["synth", str(loud), "sine", str(f), "triangle", str(f * 5 // 4), "sine", str(f * 3 // 2),
                                "tremolo", "2", "40", "vol", "0.5", "fade", "0.05", str(loud), "1"]),
                         ("q", ["synth", str(quiet), "sine", str(f), "triangle", str(f * 2), "vol", "0.008", "fade", "0.3", str(quiet), "0.3"]),
                         ("b", ["synth", str(after), "square", str(f // 2), "sine", str(f), "tremolo", "5", "30", "vol", "0.3",
                                "fade", "0.5", str(after), "2"]),
                         ("g", ["trim", "0", str(gap)])):
            if name == "g" and k == 7:
                break
            parts.append((os.path.join(work, "tape_%d%s.wav" % (k, name)), fx))
        t += loud + quiet + after
        if k < 7:
            gaps.append((t, t + gap))
            t += gap
    if not os.path.exists(path):
        for part, fx in parts:
            run(["sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", part] + fx)
        parts = [part for part, _ in parts]
        run(["sox", "-R"] + parts + [path + ".music.wav"])
        run(["sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", path + ".hiss.wav", "synth", str(t), "pinknoise",
             "vol", "0.003"])
        run(["sox", "-R", "-m", path + ".music.wav", path + ".hiss.wav", path])
        for f in parts + [path + ".music.wav", path + ".hiss.wav"]:
            os.remove(f)
    return path, gaps


ALBUM = "/usr/share/games/warzone2100/music/albums/legacy_soundtrack"


def album(work):
    """work/album.wav: the openings of 7 recorded tracks (70-115 s each, with their quiet intros and
    passages, faded out over 3 s as a side of a tape would end them), 2-4 s of tape hiss between them
    and under everything (44.1 kHz stereo). Returns the path and the gaps in seconds, or None when the
    music is not installed."""
    tracks = [os.path.join(ALBUM, "track%d.opus" % k) for k in range(4, 11)]
    if not all(os.path.exists(t) for t in tracks):
        return None, []
    path, rng = os.path.join(work, "album.wav"), random.Random(11)
    lengths = [rng.randint(70, 115) for _ in tracks]
    pauses = [rng.uniform(2, 4) for _ in tracks[1:]]
    gaps, t = [], 0.0
    for k, n in enumerate(lengths):
        t += n
        if k < len(pauses):
            gaps.append((t, t + pauses[k]))
            t += pauses[k]
    if not os.path.exists(path):
        parts = []
        for k, (track, n) in enumerate(zip(tracks, lengths)):
            part = os.path.join(work, "album_%d.wav" % k)
            run(["ffmpeg", "-v", "error", "-y", "-i", track, "-t", str(n), "-ar", "44100", "-ac", "2",
                 "-af", "afade=t=out:st=%d:d=3" % (n - 3), "-c:a", "pcm_s16le", part])
            parts.append(part)
            if k < len(pauses):
                gap = os.path.join(work, "album_%dg.wav" % k)
                run(["sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", gap, "trim", "0", "%.3f" % pauses[k]])
                parts.append(gap)
        run(["sox", "-R"] + parts + [path + ".music.wav"])
        run(["sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", path + ".hiss.wav", "synth", "%.3f" % t,
             "pinknoise", "vol", "0.002"])
        run(["sox", "-R", "-m", path + ".music.wav", path + ".hiss.wav", path])
        for f in parts + [path + ".music.wav", path + ".hiss.wav"]:
            os.remove(f)
    return path, gaps


def tracks_check(program, work):
    """--pieces N on a tape of synthetic chords and on an album of recorded music: one cut in each gap
    between the tracks, alone and beside -p 2000 (whose pauses alone also cut quiet passages)."""
    ok = True
    for title, (path, gaps) in (("tape", tape(work)), ("album", album(work))):
        if path is None:
            print("FAIL: %s: the recorded music is not installed (warzone2100-music; scripts/setup.sh)" % title)
            ok = False
            continue
        plain = json.loads(run([program, "-n", "--json", "-p", "2000", path]).stdout.decode())
        for extra in ([], ["-p", "2000"]):
            args = [program, "-n", "--json"] + extra + ["--pieces", str(len(gaps) + 1), path]
            j = json.loads(run(args).stdout.decode())
            cuts = [float(p["start"]) for p in j["pieces"][1:]]
            right = len(cuts) == len(gaps) and all(a <= c < b for c, (a, b) in zip(cuts, gaps))
            print("%-12s %d tracks: -p 2000 gives %d pieces; %s%s" %
                  (title, len(gaps) + 1, len(plain["pieces"]), " ".join(extra + ["--pieces", str(len(gaps) + 1)]),
                   " puts a cut in each gap" if right else " cuts at %s, gaps %s" %
                   (["%.1f" % c for c in cuts], ["%.1f-%.1f" % g for g in gaps])))
            ok = ok and right
    return ok


def main():
    program, work = sys.argv[1], sys.argv[2]
    names_given = sys.argv[3:]
    names = names_given or list(FILES)
    os.makedirs(work, exist_ok=True)
    if not (shutil.which("node") and shutil.which("npm")):
        print("FAIL: the detectors to compare with need node and npm (scripts/setup.sh installs them)")
        return 1
    peers = install_peers(work)
    ok = True
    for name in names:
        channels, pauses = truth(name, work)
        path = os.path.join(work, name + ".wav")
        cuts, threshold = split_cuts(program, path, channels)
        p, r, f1 = score(cuts, pauses)
        print("%-12s %2d pauses: %2d cuts at estimated threshold %g, precision %.3f recall %.3f F1 %.3f"
              % (name, len(pauses), len(cuts), threshold, p, r, f1))
        found = cached(os.path.join(work, name + ".peers.json"), [path, os.path.join(PEERS, "vad.mjs")],
                       lambda: peer_segments(peers, work, name))
        rate = int(run(["sox", "--i", "-r", path]).stdout)
        peer_f1 = {}
        for k, title in (("silero", "Silero VAD"), ("webrtc", "WebRTC VAD")):
            pc = rule_cuts(found[k], rate)
            pp, pr, peer_f1[k] = score(pc, pauses)
            print("%-12s %-10s %2d cuts, precision %.3f recall %.3f F1 %.3f" % (name, title, len(pc), pp, pr, peer_f1[k]))
        if f1 < 0.98 or f1 < peer_f1["silero"]:
            print("FAIL: %s below F1 0.98 or below Silero VAD's" % name)
            ok = False
        if rules_check(program, work, name, channels, pauses):
            print("FAIL: %s: pieces outside the rules" % name)
            ok = False
        if name.startswith("hard"):
            bp, br, bf1, lv, d = cached(os.path.join(work, name + ".ffmpeg.json"), [path],
                                        lambda: ffmpeg_best(path, pauses))
            print("%-12s ffmpeg silencedetect, best of a grid (noise=%ddB d=%g): precision %.3f recall %.3f F1 %.3f"
                  % (name, lv, d, bp, br, bf1))
            if not f1 > bf1:
                print("FAIL: pause cutting does not beat silencedetect's best setting on %s" % name)
                ok = False
    if not names_given and not tracks_check(program, work):
        print("FAIL: --pieces does not find the tracks of the tape or the album")
        ok = False
    if not names_given and not tail_room_check(program, work):
        print("FAIL: a piece of room alone")
        ok = False
    print("pause corpus: %s" % ("goals met" if ok else "goals missed"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
