#include "ConnectCore/Files/UTTypeIdentifier.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(UTTypeIdentifier, NamesTheTypeOfTheExtensionWhateverItsCase) {
    EXPECT_EQ(UTTypeIdentifier::forFile("/a/IMG_0001.JPG"), "public.jpeg");
    EXPECT_EQ(UTTypeIdentifier::forFile("clip.mov"), "com.apple.quicktime-movie");
    EXPECT_EQ(UTTypeIdentifier::forFile("notes.Txt"), "public.plain-text");
    EXPECT_EQ(UTTypeIdentifier::forFile("scan.pdf"), "com.adobe.pdf");
}

TEST(UTTypeIdentifier, FallsBackToGenericData) {
    EXPECT_EQ(UTTypeIdentifier::forFile("archive.unknownext"), "public.data");
    EXPECT_EQ(UTTypeIdentifier::forFile("Makefile"), "public.data");
    EXPECT_EQ(UTTypeIdentifier::forFile("dir.mov/"), "public.data");
    EXPECT_EQ(UTTypeIdentifier::forFile(".mov"), "public.data");
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
