// FFmpeg's libraries, opened when the first of their functions is called
// rather than when the program starts: linked in, they and the hundred
// libraries they need would be loaded and bound before every start (a tenth
// of the way to the title), while only a movie file that is not Theora, or a
// compressed WAVE sound, ever needs them.
//
// Each function the stand-ins call is defined here under its own name and
// passes the call on to the library's function, looked up once. When a
// library cannot be opened, the functions answer as FFmpeg does when it
// cannot go on: a null pointer, a negative error code, or nothing; the
// stand-ins take those as the file or codec that cannot be opened.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace {

enum AvLibrary { kAvUtil, kAvCodec, kAvFormat, kSwResample, kSwScale, kAvLibraryCount };

#define ZR_AV_NAME(name, major) "lib" #name ".so." AV_STRINGIFY(major)
const char* const kNames[kAvLibraryCount] = {
    ZR_AV_NAME(avutil, LIBAVUTIL_VERSION_MAJOR),         ZR_AV_NAME(avcodec, LIBAVCODEC_VERSION_MAJOR),
    ZR_AV_NAME(avformat, LIBAVFORMAT_VERSION_MAJOR),     ZR_AV_NAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR),
    ZR_AV_NAME(swscale, LIBSWSCALE_VERSION_MAJOR),
};
#undef ZR_AV_NAME

// The library's handle, opened on the first call (null when it cannot be).
void* Library(AvLibrary library) {
  static std::once_flag once[kAvLibraryCount];
  static void* handles[kAvLibraryCount];
  std::call_once(once[library], [library] {
    handles[library] = dlopen(kNames[library], RTLD_NOW | RTLD_LOCAL);
    if (handles[library] == nullptr) fprintf(stderr, "%s\n", dlerror());
  });
  return handles[library];
}

void* Function(AvLibrary library, const char* name) {
  void* handle = Library(library);
  return handle != nullptr ? dlsym(handle, name) : nullptr;
}

// The library's function of this name and type, looked up once.
#define ZR_AV_REAL(library, name) \
  static const auto real = reinterpret_cast<decltype(&name)>(Function(library, #name))

}  // namespace

// A function with a result: the library's, or the failure value when the
// library is missing.
#define ZR_AV_FORWARD(library, result, name, parameters, arguments, failure) \
  result name parameters {                                                    \
    ZR_AV_REAL(library, name);                                                \
    return real != nullptr ? real arguments : failure;                        \
  }
// A function without one.
#define ZR_AV_FORWARD_VOID(library, name, parameters, arguments) \
  void name parameters {                                         \
    ZR_AV_REAL(library, name);                                   \
    if (real != nullptr) real arguments;                         \
  }

extern "C" {

ZR_AV_FORWARD(kAvUtil, int, av_channel_layout_compare, (const AVChannelLayout* a, const AVChannelLayout* b), (a, b),
              -1)
ZR_AV_FORWARD(kAvUtil, int, av_channel_layout_copy, (AVChannelLayout * to, const AVChannelLayout* from), (to, from),
              AVERROR(ENOSYS))
ZR_AV_FORWARD_VOID(kAvUtil, av_channel_layout_default, (AVChannelLayout * layout, int channels), (layout, channels))
ZR_AV_FORWARD(kAvUtil, int, av_channel_layout_from_mask, (AVChannelLayout * layout, uint64_t mask), (layout, mask),
              AVERROR(ENOSYS))
ZR_AV_FORWARD_VOID(kAvUtil, av_channel_layout_uninit, (AVChannelLayout * layout), (layout))
ZR_AV_FORWARD(kAvUtil, AVFrame*, av_frame_alloc, (void), (), nullptr)
ZR_AV_FORWARD_VOID(kAvUtil, av_frame_free, (AVFrame * *frame), (frame))
ZR_AV_FORWARD_VOID(kAvUtil, av_frame_unref, (AVFrame * frame), (frame))
ZR_AV_FORWARD_VOID(kAvUtil, av_free, (void* pointer), (pointer))
ZR_AV_FORWARD_VOID(kAvUtil, av_freep, (void* pointer), (pointer))
ZR_AV_FORWARD(kAvUtil, void*, av_malloc, (size_t size), (size), nullptr)
ZR_AV_FORWARD(kAvUtil, void*, av_mallocz, (size_t size), (size), nullptr)
ZR_AV_FORWARD(kAvUtil, int64_t, av_rescale, (int64_t a, int64_t b, int64_t c), (a, b, c), 0)
ZR_AV_FORWARD(kAvUtil, int64_t, av_rescale_q, (int64_t a, AVRational from, AVRational to), (a, from, to), 0)

ZR_AV_FORWARD(kAvCodec, int, av_new_packet, (AVPacket * packet, int size), (packet, size), AVERROR(ENOSYS))
ZR_AV_FORWARD(kAvCodec, AVPacket*, av_packet_alloc, (void), (), nullptr)
ZR_AV_FORWARD_VOID(kAvCodec, av_packet_free, (AVPacket * *packet), (packet))
ZR_AV_FORWARD_VOID(kAvCodec, av_packet_unref, (AVPacket * packet), (packet))
ZR_AV_FORWARD(kAvCodec, AVCodecContext*, avcodec_alloc_context3, (const AVCodec* codec), (codec), nullptr)
ZR_AV_FORWARD(kAvCodec, const AVCodec*, avcodec_find_decoder, (enum AVCodecID id), (id), nullptr)
ZR_AV_FORWARD_VOID(kAvCodec, avcodec_flush_buffers, (AVCodecContext * context), (context))
ZR_AV_FORWARD_VOID(kAvCodec, avcodec_free_context, (AVCodecContext * *context), (context))
ZR_AV_FORWARD(kAvCodec, int, avcodec_open2, (AVCodecContext * context, const AVCodec* codec, AVDictionary** options),
              (context, codec, options), AVERROR(ENOSYS))
ZR_AV_FORWARD(kAvCodec, AVCodecParameters*, avcodec_parameters_alloc, (void), (), nullptr)
ZR_AV_FORWARD_VOID(kAvCodec, avcodec_parameters_free, (AVCodecParameters * *parameters), (parameters))
ZR_AV_FORWARD(kAvCodec, int, avcodec_parameters_to_context,
              (AVCodecContext * context, const AVCodecParameters* parameters), (context, parameters), AVERROR(ENOSYS))
ZR_AV_FORWARD(kAvCodec, int, avcodec_receive_frame, (AVCodecContext * context, AVFrame* frame), (context, frame),
              AVERROR(ENOSYS))
ZR_AV_FORWARD(kAvCodec, int, avcodec_send_packet, (AVCodecContext * context, const AVPacket* packet),
              (context, packet), AVERROR(ENOSYS))

ZR_AV_FORWARD(kAvFormat, AVRational, av_guess_frame_rate, (AVFormatContext * format, AVStream* stream, AVFrame* frame),
              (format, stream, frame), (AVRational{0, 1}))
ZR_AV_FORWARD(kAvFormat, int, av_read_frame, (AVFormatContext * format, AVPacket* packet), (format, packet),
              AVERROR(ENOSYS))
ZR_AV_FORWARD(kAvFormat, int, av_seek_frame, (AVFormatContext * format, int stream, int64_t time, int flags),
              (format, stream, time, flags), AVERROR(ENOSYS))
ZR_AV_FORWARD(kAvFormat, AVFormatContext*, avformat_alloc_context, (void), (), nullptr)
ZR_AV_FORWARD_VOID(kAvFormat, avformat_close_input, (AVFormatContext * *format), (format))
ZR_AV_FORWARD(kAvFormat, int, avformat_find_stream_info, (AVFormatContext * format, AVDictionary** options),
              (format, options), AVERROR(ENOSYS))
ZR_AV_FORWARD(kAvFormat, int, avformat_open_input,
              (AVFormatContext * *format, const char* url, const AVInputFormat* input, AVDictionary** options),
              (format, url, input, options), AVERROR(ENOSYS))
ZR_AV_FORWARD(kAvFormat, AVIOContext*, avio_alloc_context,
              (unsigned char* buffer, int size, int writable, void* opaque,
               int (*read)(void* opaque, uint8_t* buffer, int size),
               int (*write)(void* opaque, uint8_t* buffer, int size),
               int64_t (*seek)(void* opaque, int64_t offset, int whence)),
              (buffer, size, writable, opaque, read, write, seek), nullptr)
ZR_AV_FORWARD_VOID(kAvFormat, avio_context_free, (AVIOContext * *context), (context))

ZR_AV_FORWARD(kSwResample, int, swr_alloc_set_opts2,
              (struct SwrContext * *context, AVChannelLayout* outLayout, enum AVSampleFormat outFormat, int outRate,
               AVChannelLayout* inLayout, enum AVSampleFormat inFormat, int inRate, int logOffset, void* logContext),
              (context, outLayout, outFormat, outRate, inLayout, inFormat, inRate, logOffset, logContext),
              AVERROR(ENOSYS))
ZR_AV_FORWARD(kSwResample, int, swr_convert,
              (struct SwrContext * context, uint8_t** out, int outCount, const uint8_t** in, int inCount),
              (context, out, outCount, in, inCount), AVERROR(ENOSYS))
ZR_AV_FORWARD_VOID(kSwResample, swr_free, (struct SwrContext * *context), (context))
ZR_AV_FORWARD(kSwResample, int, swr_get_out_samples, (struct SwrContext * context, int samples), (context, samples),
              AVERROR(ENOSYS))
ZR_AV_FORWARD(kSwResample, int, swr_init, (struct SwrContext * context), (context), AVERROR(ENOSYS))

ZR_AV_FORWARD_VOID(kSwScale, sws_freeContext, (struct SwsContext * context), (context))
ZR_AV_FORWARD(kSwScale, struct SwsContext*, sws_getCachedContext,
              (struct SwsContext * context, int fromWidth, int fromHeight, enum AVPixelFormat fromFormat, int toWidth,
               int toHeight, enum AVPixelFormat toFormat, int flags, SwsFilter* fromFilter, SwsFilter* toFilter,
               const double* parameters),
              (context, fromWidth, fromHeight, fromFormat, toWidth, toHeight, toFormat, flags, fromFilter, toFilter,
               parameters),
              nullptr)
ZR_AV_FORWARD(kSwScale, int, sws_scale,
              (struct SwsContext * context, const uint8_t* const fromSlice[], const int fromStride[], int sliceY,
               int sliceHeight, uint8_t* const to[], const int toStride[]),
              (context, fromSlice, fromStride, sliceY, sliceHeight, to, toStride), AVERROR(ENOSYS))

}  // extern "C"
