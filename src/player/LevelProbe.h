#pragma once

class Leveller;

// Levelling in the audio engine: every buffer that passes a pad of the pipeline (the volume's,
// so the volume and mute act on the levelled sound) is measured, levelled and limited in place,
// on GStreamer's streaming thread, as it comes (16 and 32-bit integers, 32 and 64-bit floats,
// interleaved). While the leveller is off, buffers pass untouched.
namespace LevelProbe {

// Puts the leveller on the pad (a GstPad*; GStreamer is open). The leveller outlives the
// pipeline. False when the pad takes no probe.
bool attach(void *pad, Leveller *leveller);

} // namespace LevelProbe
