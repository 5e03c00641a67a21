#include "ConnectCore/Files/UTTypeIdentifier.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(UTTypeIdentifier, NamesTheTypeOfTheExtensionWhateverItsCaseElseGenericData) {
    EXPECT_EQ(UTTypeIdentifier::forFile("/a/IMG_0001.JPG"), "public.jpeg");
    EXPECT_EQ(UTTypeIdentifier::forFile("notes.Txt"), "public.plain-text");
    for (const char* name : {"archive.unknownext", "Makefile", "dir.mov/", ".mov"}) {
        EXPECT_EQ(UTTypeIdentifier::forFile(name), "public.data") << name;
    }
}

TEST(UTTypeIdentifier, OnlyMoviesAndSoundAreAudioVisual) {
    for (const char* name : {"a.mov", "a.mp4", "a.m4v", "a.mkv", "a.mp3", "a.m4a", "a.wav"}) {
        EXPECT_TRUE(UTTypeIdentifier::isAudioVisual(UTTypeIdentifier::forFile(name))) << name;
    }
    for (const char* name : {"a.jpg", "a.heic", "a.pdf", "a.txt", "a.zip", "a"}) {
        EXPECT_FALSE(UTTypeIdentifier::isAudioVisual(UTTypeIdentifier::forFile(name))) << name;
    }
}

} // namespace
} // namespace tarnwick
