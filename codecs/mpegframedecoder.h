#pragma once
// The MPEG audio decoder behind the three-call decoding interface the MP3 import is written
// against: input is queued with each call and at most one frame is decoded per call, as 16-bit
// signed interleaved PCM in the stream's own rate and channel count. MPEG 1, 2 and 2.5, layers I,
// II and III.
// Thread rule: one state belongs to one import; different states may run on different threads.

#include <cstdint>

struct mpg123_handle_struct;

namespace orvella {

// Results of DecodeMpegFrame.
constexpr int MP3_OK = 0;        // a frame was produced
constexpr int MP3_NEED_MORE = 1; // the queued input holds no complete frame
constexpr int MP3_ERR = -1;      // the decoder failed on this input

// The decoder state, owned by the caller for the whole decode.
struct TMpegDecoderState {
    mpg123_handle_struct* Handle = nullptr;
    // The output format: frames of another rate or channel count are skipped, so a stream whose
    // format changes mid-file keeps the format it started with. 0 takes the first frame's.
    long Rate = 0;
    int Channels = 0;
};

// Prepares the state; the low byte of the result is non-zero on success.
int InitMpegDecoder(TMpegDecoderState* mp);
// Queues inSize bytes of in (none when in is null) and decodes at most one frame into out
// (outSize bytes); *done receives the bytes produced. Returns MP3_OK, MP3_NEED_MORE or MP3_ERR.
int DecodeMpegFrame(TMpegDecoderState* mp, const uint8_t* in, int inSize, uint8_t* out, int outSize,
                    int* done);
// Releases what the decoder holds; the state may be prepared again.
void ExitMpegDecoder(TMpegDecoderState* mp);

} // namespace orvella
