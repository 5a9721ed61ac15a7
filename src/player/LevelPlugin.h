#pragma once

// What the program and its levelling plugin (a LADSPA module that FFmpeg's "ladspa" filter loads
// inside libmpv's audio filters) share. The program opens the module first, so FFmpeg's open of
// the same file finds that one copy; it binds a processor to a number, and the filter passes the
// number as the plugin's one control. Each of the filter's audio frames reaches the processor
// once, all its channels together, to be changed in place.
extern "C" {

// channels[0..count) hold `frames` samples each (planar float) at `rate` samples a second.
typedef void (*HxLevelProcess)(void *context, float **channels, int count, unsigned long frames, unsigned long rate);
// While bound, the filters that name `number` pass their audio through `process`; unbinding
// returns only when no call is under way, and none follows.
typedef void (*HxLevelBind)(unsigned number, HxLevelProcess process, void *context);
typedef void (*HxLevelUnbind)(unsigned number);

} // extern "C"

#define HX_LEVEL_PLUGIN_LABEL "halcyrix_level"
#define HX_LEVEL_BIND "hx_level_bind"
#define HX_LEVEL_UNBIND "hx_level_unbind"
