#include "ConnectCore/Files/UTTypeIdentifier.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace tarnwick::UTTypeIdentifier {
namespace {

struct Entry {
    std::string_view extension;
    std::string_view uti;
    bool audioVisual;
};

constexpr std::array entries{
    // Still images, camera raw formats included.
    Entry{"jpg", "public.jpeg", false},
    Entry{"jpeg", "public.jpeg", false},
    Entry{"png", "public.png", false},
    Entry{"gif", "com.compuserve.gif", false},
    Entry{"heic", "public.heic", false},
    Entry{"heif", "public.heif", false},
    Entry{"tif", "public.tiff", false},
    Entry{"tiff", "public.tiff", false},
    Entry{"bmp", "com.microsoft.bmp", false},
    Entry{"webp", "org.webmproject.webp", false},
    Entry{"svg", "public.svg-image", false},
    Entry{"ico", "com.microsoft.ico", false},
    Entry{"psd", "com.adobe.photoshop-image", false},
    Entry{"dng", "com.adobe.raw-image", false},
    Entry{"cr2", "com.canon.cr2-raw-image", false},
    Entry{"cr3", "com.canon.cr3-raw-image", false},
    Entry{"nef", "com.nikon.raw-image", false},
    Entry{"arw", "com.sony.arw-raw-image", false},
    Entry{"raf", "com.fuji.raw-image", false},
    Entry{"orf", "com.olympus.raw-image", false},
    // Movies: audio-visual.
    Entry{"mov", "com.apple.quicktime-movie", true},
    Entry{"qt", "com.apple.quicktime-movie", true},
    Entry{"mp4", "public.mpeg-4", true},
    Entry{"m4v", "com.apple.m4v-video", true},
    Entry{"3gp", "public.3gpp", true},
    Entry{"avi", "public.avi", true},
    Entry{"mkv", "org.matroska.mkv", true},
    Entry{"webm", "org.webmproject.webm", true},
    Entry{"mpg", "public.mpeg", true},
    Entry{"mpeg", "public.mpeg", true},
    Entry{"mts", "public.avchd-mpeg-2-transport-stream", true},
    Entry{"m2ts", "public.avchd-mpeg-2-transport-stream", true},
    // Sound: audio-visual.
    Entry{"mp3", "public.mp3", true},
    Entry{"m4a", "com.apple.m4a-audio", true},
    Entry{"aac", "public.aac-audio", true},
    Entry{"wav", "com.microsoft.waveform-audio", true},
    Entry{"aif", "public.aiff-audio", true},
    Entry{"aiff", "public.aiff-audio", true},
    Entry{"caf", "com.apple.coreaudio-format", true},
    Entry{"flac", "org.xiph.flac", true},
    Entry{"ogg", "org.xiph.ogg-audio", true},
    Entry{"opus", "org.xiph.opus-audio", true},
    // Documents.
    Entry{"pdf", "com.adobe.pdf", false},
    Entry{"rtf", "public.rtf", false},
    Entry{"doc", "com.microsoft.word.doc", false},
    Entry{"docx", "org.openxmlformats.wordprocessingml.document", false},
    Entry{"xls", "com.microsoft.excel.xls", false},
    Entry{"xlsx", "org.openxmlformats.spreadsheetml.sheet", false},
    Entry{"ppt", "com.microsoft.powerpoint.ppt", false},
    Entry{"pptx", "org.openxmlformats.presentationml.presentation", false},
    Entry{"pages", "com.apple.iwork.pages.sffpages", false},
    Entry{"numbers", "com.apple.iwork.numbers.sffnumbers", false},
    Entry{"key", "com.apple.iwork.keynote.sffkey", false},
    Entry{"odt", "org.oasis-open.opendocument.text", false},
    Entry{"ods", "org.oasis-open.opendocument.spreadsheet", false},
    Entry{"odp", "org.oasis-open.opendocument.presentation", false},
    Entry{"epub", "org.idpf.epub-container", false},
    // Text.
    Entry{"txt", "public.plain-text", false},
    Entry{"md", "net.daringfireball.markdown", false},
    Entry{"csv", "public.comma-separated-values-text", false},
    Entry{"html", "public.html", false},
    Entry{"htm", "public.html", false},
    Entry{"json", "public.json", false},
    Entry{"xml", "public.xml", false},
    // Archives.
    Entry{"zip", "public.zip-archive", false},
    Entry{"gz", "org.gnu.gnu-zip-archive", false},
    Entry{"tar", "public.tar-archive", false},
};

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

std::string forFile(const std::filesystem::path& file) {
    const std::string extension = lowerCased(file.extension().string());
    if (extension.size() > 1) {
        const std::string_view bare = std::string_view(extension).substr(1);
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [&](const Entry& candidate) { return candidate.extension == bare; });
        if (entry != entries.end()) {
            return std::string(entry->uti);
        }
    }
    return "public.data";
}

bool isAudioVisual(std::string_view uti) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const Entry& entry) { return entry.uti == uti && entry.audioVisual; });
}

} // namespace tarnwick::UTTypeIdentifier
