/*
 * velcora: sample rate, channel count and sample format conversion of an interleaved
 * audio stream, with two-stage Kaiser-windowed FIR filtering.
 *
 * API conventions
 * ---------------
 * - One conversion at a time. The conversion state is global to the library and not
 *   locked: call DSP_init, then DSP_process any number of times, then DSP_exit, all from
 *   one thread (or with your own serialisation), before the next DSP_init. A DSP_init
 *   while a conversion is still open releases that conversion first.
 * - Rates are in Hz. Supported pairs: equal rates, and unequal positive rates for which
 *   r = slower rate / gcd(rates) is 1, even or a multiple of 3, with r x faster rate below
 *   2^31 (8000 -> 22050 and 48000 -> 22050 work; 37800 -> 22050 does not).
 *   After a DSP_init with an unsupported pair (or, with unequal rates, a zero channel count
 *   or filter parameters that allow no design, such as transitionWidth <= 0 or
 *   fftLength <= 0), DSP_process and DSP_exit report 0 bytes.
 * - Channel counts are values per frame. Equal counts pass through; to one channel the
 *   frame's channels are averaged; from one channel the value is copied to every channel;
 *   other pairs keep the first channels and fill missing ones with silence.
 * - Format codes (little-endian):
 *     1  unsigned 8-bit (offset 128)    2  signed 16-bit    4  signed 24-bit (3 bytes)
 *     8  signed 32-bit                 16  32-bit IEEE float (written at half scale)
 *   Integer output is rounded with floor(v + 0.5) and limited to the format's range
 *   (32-bit: -2147483647 ... 2147483647). Another code reads as silence and writes nothing.
 * - attenuation: stop-band attenuation in dB (typically 96); transitionWidth: largest
 *   transition band of the long filter in Hz (typically 8000); fftLength: starting length of
 *   the long filter in taps (typically 1024).
 * - Buffer contract: byte counts are bytes. `input` holds whole frames of srcChannels
 *   values in inFormat; a trailing partial sample is ignored. `output` is owned by the
 *   caller and must hold everything a call produces: without rate change the input's
 *   samples after channel mapping; with rate change at most
 *   (input frames x dstRate / srcRate + two blocks) frames per DSP_process and at most two
 *   blocks from DSP_exit. A block is at most M / 2 + 1 frames, M / 2 being the smallest
 *   power of two not below fftLength (1024 with the typical parameters) unless the
 *   transition width forces a longer filter. Input and output must not overlap.
 * - A whole conversion of N input frames yields floor(N x dstRate / srcRate) + 2 frames
 *   with the typical filter parameters; the filters' delay is removed from the start.
 *   The output does not depend on how the input is split into DSP_process calls.
 * - No errors are reported; allocation failure aborts the process.
 */
#ifndef VELCORA_VELCORA_H
#define VELCORA_VELCORA_H

#include <stdint.h>

#if defined(_WIN32)
#define VELCORA_EXPORT __declspec(dllexport)
#else
#define VELCORA_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts a conversion. */
VELCORA_EXPORT void DSP_init(int32_t srcRate, int32_t dstRate, uint32_t srcChannels,
                             uint32_t dstChannels, uint32_t inFormat, uint32_t outFormat,
                             int32_t attenuation, int32_t transitionWidth, int32_t fftLength);

/* Converts one block of input; *outputBytes receives the bytes written to output. */
VELCORA_EXPORT void DSP_process(const void* input, uint32_t inputBytes, void* output,
                                uint32_t* outputBytes);

/* Ends the conversion: writes the rest of the stream to output and releases the state. */
VELCORA_EXPORT void DSP_exit(void* output, uint32_t* outputBytes);

#ifdef __cplusplus
}
#endif

#endif
