#include "ConnectCore/Files/MediaProbe.hpp"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>

namespace tarnwick {
namespace {

struct CloseInput {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, CloseInput>;

// A file still being written fails to open on every poll; the library's complaints about it are noise.
void quietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

Input open(const std::filesystem::path& file) {
    // "file:" keeps a colon in the name from being read as a protocol; the whitelist keeps a playlist
    // dropped into the folder from making the probe fetch anything from the network.
    std::error_code error;
    const std::string url = "file:" + std::filesystem::absolute(file, error).string();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* context = nullptr;
    const int status = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    return status < 0 ? nullptr : Input(context);
}

bool isAudioOrVideo(const AVStream& stream) {
    const auto type = stream.codecpar->codec_type;
    return type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO;
}

// A header written first (as "fast start" files have it) can describe samples that have not arrived.
bool indexWithin(AVStream& stream, std::int64_t fileSize) {
    const int count = avformat_index_get_entries_count(&stream);
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(&stream, i);
        if (entry->pos + entry->size > fileSize) {
            return false;
        }
    }
    return true;
}

double durationOf(const AVFormatContext& context) {
    if (context.duration != AV_NOPTS_VALUE) {
        return static_cast<double>(context.duration) / AV_TIME_BASE;
    }
    double longest = 0;
    for (unsigned i = 0; i < context.nb_streams; ++i) {
        const AVStream& stream = *context.streams[i];
        if (stream.duration != AV_NOPTS_VALUE) {
            longest = std::max(longest, static_cast<double>(stream.duration) * av_q2d(stream.time_base));
        }
    }
    return longest;
}

} // namespace

std::optional<MediaProbe> MediaProbe::inspect(const std::filesystem::path& file) {
    quietLibraryLog();
    const Input input = open(file);
    if (!input || avformat_find_stream_info(input.get(), nullptr) < 0) {
        return std::nullopt;
    }
    const std::int64_t fileSize = avio_size(input->pb);
    bool hasMedia = false;
    bool complete = fileSize >= 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream& stream = *input->streams[i];
        hasMedia = hasMedia || isAudioOrVideo(stream);
        complete = complete && indexWithin(stream, fileSize);
    }
    return MediaProbe{hasMedia && complete, durationOf(*input)};
}

} // namespace tarnwick
