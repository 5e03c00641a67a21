#include "ConnectCore/WatchFolder/FileSettleDetector.hpp"

#include "ConnectCore/Files/FileAttributes.hpp"
#include "ConnectCore/Files/MediaProbe.hpp"
#include "ConnectCore/Files/UTTypeIdentifier.hpp"

#include <asio/co_spawn.hpp>
#include <asio/use_awaitable.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace std::string_view_literals;

constexpr std::array temporarySuffixes{".tmp"sv,        ".temp"sv,     ".part"sv,  ".partial"sv,
                                       ".crdownload"sv, ".download"sv, ".dvtmp"sv, ".cotmp"sv,
                                       ".lrprev"sv,     ".pkf"sv,      ".sfk"sv};

// Preview and proxy renders of video editors and photo libraries, wherever they sit below the folder.
constexpr std::array temporaryFolders{"adobe premiere pro video previews"sv,
                                      "adobe premiere pro audio previews"sv, "/.gallery/"sv, "/proxy/"sv};

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool endsWithAny(std::string_view text, const auto& suffixes) {
    return std::any_of(suffixes.begin(), suffixes.end(),
                       [&](std::string_view suffix) { return text.ends_with(suffix); });
}

bool containsAny(std::string_view text, const auto& fragments) {
    return std::any_of(fragments.begin(), fragments.end(), [&](std::string_view fragment) {
        return text.find(fragment) != std::string_view::npos;
    });
}

// A writer that holds an exclusive advisory lock has not finished. A file that cannot be opened is asked
// about again later; locks the file system does not support do not stand in the way.
bool lockProbeAllows(const std::filesystem::path& file) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    bool allowed = true;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        ::flock(descriptor, LOCK_UN);
    } else {
        allowed = errno != EWOULDBLOCK;
    }
    ::close(descriptor);
    return allowed;
}

asio::awaitable<bool> parseContainer(std::filesystem::path file) {
    co_return FileSettleDetector::containerParses(file);
}

} // namespace

FileSettleDetector::FileSettleDetector(const asio::any_io_executor& executor,
                                       std::chrono::milliseconds quietPeriod,
                                       std::chrono::seconds abandonAfter, Clock clock)
    : Actor(executor),
      quietPeriod_(quietPeriod),
      abandonAfter_(abandonAfter),
      clock_(std::move(clock)) {}

bool FileSettleDetector::isTemporaryName(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    const std::string lowerName = lowerCased(name);
    return name.starts_with('.') || name.starts_with('~') || name.ends_with('~') ||
           endsWithAny(lowerName, temporarySuffixes) ||
           containsAny(lowerCased(file.string()), temporaryFolders) ||
           lowerName.find("_temp") != std::string::npos || lowerName.starts_with("temp_");
}

bool FileSettleDetector::containerParses(const std::filesystem::path& file) {
    if (!UTTypeIdentifier::isAudioVisual(UTTypeIdentifier::forFile(file))) {
        return true;
    }
    const auto probe = MediaProbe::inspect(file);
    return probe && probe->readable && probe->durationSeconds > 0;
}

asio::awaitable<FileSettleDetector::Verdict>
FileSettleDetector::evaluateOnStrand(std::filesystem::path file) {
    if (isTemporaryName(file)) {
        forgetNow(file);
        co_return Verdict::ignored;
    }
    const auto current = FileAttributes::ofRegularFile(file);
    if (!current) {
        forgetNow(file);
        co_return Verdict::ignored;
    }
    const auto now = clock_();
    const auto firstSeen = firstSeen_.try_emplace(file, now).first->second;
    // Comes before any stability test: a file first seen too long ago is given up even if stable now.
    if (now - firstSeen > abandonAfter_) {
        forgetNow(file);
        co_return Verdict::abandoned;
    }
    const auto previous = samples_.find(file);
    const bool changed = previous == samples_.end() || previous->second.size != current->size ||
                         previous->second.modified != current->modified;
    if (changed) {
        // An unchanged look keeps the older sample, whose time starts the quiet period.
        samples_.insert_or_assign(file, Sample{current->size, current->modified, now});
    }
    if (current->size == 0 || changed || now - previous->second.takenAt < quietPeriod_ ||
        !lockProbeAllows(file)) {
        co_return Verdict::stillWriting;
    }
    auto parsing = asio::co_spawn(mediaThread_, parseContainer(file), asio::use_awaitable);
    if (!co_await std::move(parsing)) {
        co_return Verdict::stillWriting;
    }
    forgetNow(file);
    co_return Verdict::settled;
}

asio::awaitable<void> FileSettleDetector::forgetOnStrand(std::filesystem::path file) {
    forgetNow(file);
    co_return;
}

void FileSettleDetector::forgetNow(const std::filesystem::path& file) {
    samples_.erase(file);
    firstSeen_.erase(file);
}

} // namespace tarnwick
