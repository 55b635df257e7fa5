// The sound layer's platform conversion methods that the movie layer supplies: MP3 decoded whole
// through a DirectShow graph (and, where present, Media Foundation).
#pragma once

#include "zovuz/movie/dshow/windows/dshow_base.h"
#include "zovuz/sound/zovuz_sound.h"

// The DirectShow MP3 method's table, registered with the sound layer at movie start-up.
extern const SoundConvertPlatformMethod SoundConvertDShowMp3Method;

// The Media Foundation method's table.
extern const SoundConvertPlatformMethod SoundConvertMFMethod;

// The grabber's per-sample callback: appends the sample's bytes to the PCM image (Context: the
// method state).
HRESULT MP3SampleGrabberCallback(IMediaSample *Sample, REFERENCE_TIME *Start, REFERENCE_TIME *Stop, BOOL TypeChanged,
                                 void *Context);
// The first pin of a filter with that direction (0 input, 1 output), with a reference, or null.
IPin *GetFilterPinByDirection(IBaseFilter *Filter, int Direction);
