#!/usr/bin/env python3
"""Spoken recordings with a known truth, and how well pause cutting finds it.

Each file is made here: one espeak-ng sentence at a time, trimmed to its
speech, joined with pauses of known lengths, room noise mixed under
everything. The truth is where each pause between two sentences lies.
A cut counts as right when it falls inside such a pause (precision); a pause
counts as found when it holds a cut (recall).

Usage: pause_corpus.py SPLIT_PROGRAM WORK_DIR
Runs SPLIT_PROGRAM -n --json -p 400 on every file at its estimated threshold,
and ffmpeg's silencedetect over a grid of levels and lengths on the hard file
(its best setting is the one to beat). Exit status 1 when a goal is missed.
"""
import array
import json
import math
import os
import random
import re
import subprocess
import sys
import wave

RATE = 22050
PAUSE_MS = 400

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


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, **kw)


def read_wav(path):
    with wave.open(path) as w:
        assert w.getsampwidth() == 2 and w.getnchannels() == 1 and w.getframerate() == RATE, path
        a = array.array("h")
        a.frombytes(w.readframes(w.getnframes()))
        return a


def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(array.array("h", samples).tobytes())


def sentence(text, voice, work, n):
    path = os.path.join(work, "s%03d.wav" % n)
    args = ["espeak-ng", "-w", path] + (["-v", voice] if voice else []) + [text]
    run(args)
    s = read_wav(path)
    os.remove(path)
    loud = [i for i, v in enumerate(s) if abs(v) > 8]
    return [float(v) for v in s[loud[0]:loud[-1] + 1]]


def pink(seconds, work, seed):
    path = os.path.join(work, "noise.wav")
    run(["sox", "-R", "-n", "-r", str(RATE), "-c", "1", "-b", "16", path, "synth", str(seconds), "pinknoise",
         "vol", "0.5"], env=dict(os.environ, SOX_OPTS="-R"))
    s = [float(v) for v in read_wav(path)]
    os.remove(path)
    rms = math.sqrt(sum(v * v for v in s) / len(s))
    return [v / rms for v in s]  # RMS 1


def reverb(samples, work):
    src, dst = os.path.join(work, "dry.wav"), os.path.join(work, "wet.wav")
    write_wav(src, [max(-32768, min(32767, int(round(v)))) for v in samples])
    run(["sox", src, dst, "reverb", "40", "50", "60"])
    wet = [float(v) for v in read_wav(dst)]
    os.remove(src)
    os.remove(dst)
    return wet[:len(samples)] + [0.0] * max(0, len(samples) - len(wet))


def db(level):
    return 32768.0 * 10 ** (level / 20.0)


def make(name, sentences, work, seed, hard=False):
    """Writes work/name.wav and returns its pauses as (first frame, end frame)."""
    rng = random.Random(seed)
    speech = [0.0] * int(0.8 * RATE)
    pauses = []
    breaths = []
    for i, (text, voice) in enumerate(sentences):
        s = sentence(text, voice, work, i)
        if hard and 2 <= i <= 5:
            s = [v * 0.1 for v in s]  # the speaker turns away: 20 dB quieter
        if i > 0:
            gap = int(rng.uniform(0.5 if not hard else 0.6, 2.5) * RATE)
            start = len(speech)
            speech += [0.0] * gap
            pauses.append((start, len(speech)))
            if hard and i % 2 == 0:
                breaths.append(len(speech) - int(0.4 * RATE))
        speech += s
    speech += [0.0] * int(0.8 * RATE)
    n = len(speech)
    if hard:
        speech = reverb(speech, work)
    noise = pink(n / RATE + 0.1, work, seed)
    out = []
    for i in range(n):
        if hard:
            # A fan starts at 60%: the noise climbs from -62 to -42 dBFS in 2 s.
            rise = min(1.0, max(0.0, (i - 0.6 * n) / (2.0 * RATE)))
            level = -62.0 + 20.0 * rise
        else:
            level = -50.0
        hum = db(-62.0) * math.sin(2 * math.pi * 50 * i / RATE)
        out.append(speech[i] + db(level) * noise[i] + hum)
    for b in breaths:  # a breath: 0.25 s of soft noise just before a sentence
        length = int(0.25 * RATE)
        for k in range(length):
            env = math.sin(math.pi * k / length)
            out[b + k] += db(-38.0) * env * noise[(b * 7 + k) % n]
    write_wav(os.path.join(work, name + ".wav"), [max(-32768, min(32767, int(round(v)))) for v in out])
    with open(os.path.join(work, name + ".truth"), "w") as f:
        json.dump(pauses, f)
    return pauses


def score(cuts, pauses):
    inside = sum(1 for c in cuts if any(a <= c < b for a, b in pauses))
    found = sum(1 for a, b in pauses if any(a <= c < b for c in cuts))
    precision = inside / len(cuts) if cuts else 0.0
    recall = found / len(pauses)
    f1 = 2 * precision * recall / (precision + recall) if precision + recall else 0.0
    return precision, recall, f1


def split_cuts(program, path):
    out = run([program, "-n", "--json", "-p", str(PAUSE_MS), path]).stdout.decode()
    j = json.loads(out.splitlines()[0])
    return [int(c) for c in j["cuts"]], j["threshold"]


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


def main():
    program, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    files = {
        "en_lecture": [(t, None) for t in EN],
        "ja_lecture": [(t, "ja") for t in JA],
        "hard_room": [(t, None) for t in EN[:8]] + [(t, "ja") for t in JA[:7]],
    }
    ok = True
    for seed, (name, sentences) in enumerate(sorted(files.items())):
        path = os.path.join(work, name + ".wav")
        truth = os.path.join(work, name + ".truth")
        if os.path.exists(truth):
            pauses = [tuple(p) for p in json.load(open(truth))]
        else:
            pauses = make(name, sentences, work, seed + 1, hard=name.startswith("hard"))
        cuts, threshold = split_cuts(program, path)
        p, r, f1 = score(cuts, pauses)
        print("%-11s %2d pauses: %2d cuts at estimated threshold %g, precision %.3f recall %.3f F1 %.3f"
              % (name, len(pauses), len(cuts), threshold, p, r, f1))
        if name.startswith("hard"):
            frames = len(read_wav(path))
            best = max(((score(silencedetect(path, lv, d, frames), pauses), lv, d)
                        for lv in range(-60, -20, 3) for d in (0.2, 0.3, 0.4, 0.5, 0.7)),
                       key=lambda x: x[0][2])
            (bp, br, bf1), lv, d = best
            print("%-11s ffmpeg silencedetect, best of a grid (noise=%ddB d=%g): precision %.3f recall %.3f F1 %.3f"
                  % (name, lv, d, bp, br, bf1))
            if not f1 > bf1:
                print("FAIL: pause cutting does not beat silencedetect's best setting on %s" % name)
                ok = False
        elif p < 0.98 or r < 0.98:
            print("FAIL: %s below 0.98" % name)
            ok = False
    print("pause corpus: %s" % ("goals met" if ok else "goals missed"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
