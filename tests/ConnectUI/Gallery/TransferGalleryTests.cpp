#include "ConnectUI/Gallery/LightboxZoom.hpp"
#include "ConnectUI/Gallery/ThumbnailCache.hpp"
#include "ConnectUI/Gallery/TransferGallery.hpp"
#include "tests/Support/QtApplication.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <atomic>
#include <map>

namespace tarnwick {
namespace {

TEST(TransferGallery, FiltersByDirection) {
    const std::vector<TransferItem> sent{
        {"s1", "/tmp/one.jpg", "one.jpg", 10, TransferItem::State::sending(0.5, 1), "Phone"},
        {"s2", "/tmp/two.pdf", "two.pdf", 20, TransferItem::State::failed("The device disconnected."),
         "Phone"}};
    const std::vector<ReceivedFile> received{
        {"r1", "three.png", std::nullopt, "/dl/three.png", 30, "public.png"}};
    const auto entries = TransferGallery::entries(sent, received);

    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].fraction, 0.5);
    EXPECT_EQ(entries[1].failure, "The device disconnected.");
    EXPECT_EQ(entries[2].direction, GalleryEntry::Direction::received);
    EXPECT_TRUE(entries[2].peerName.empty());

    const auto onlyReceived = TransferGallery::visible(entries, TransferGallery::filterNamed("received"));
    ASSERT_EQ(onlyReceived.size(), 1u);
    EXPECT_EQ(onlyReceived[0].name, "three.png");
    EXPECT_EQ(TransferGallery::visible(entries, TransferGallery::Filter::sent).size(), 2u);
    EXPECT_EQ(TransferGallery::visible(entries, TransferGallery::filterNamed("bogus")), entries);
}

// Sent and received files interleave by when they were listed, not by direction; files listed together
// keep the order the application state gives them.
TEST(TransferGallery, ListsTheNewestFirstAcrossDirections) {
    const std::vector<TransferItem> sent{
        {"s2", "/tmp/b.jpg", "b.jpg", 1, TransferItem::State::finished(), "Phone"},
        {"s1", "/tmp/a.jpg", "a.jpg", 1, TransferItem::State::finished(), "Phone"}};
    const std::vector<ReceivedFile> received{{"r1", "c.png", std::nullopt, "/dl/c.png", 1, "public.png"}};
    const std::map<std::string, std::uint64_t> listedIn{{"s1", 1}, {"s2", 1}, {"r1", 2}};
    const auto ordered =
        TransferGallery::newestFirst(TransferGallery::entries(sent, received),
                                     [&](const GalleryEntry& entry) { return listedIn.at(entry.id); });
    std::vector<std::string> names;
    std::ranges::transform(ordered, std::back_inserter(names), &GalleryEntry::name);
    EXPECT_EQ(names, (std::vector<std::string>{"c.png", "b.jpg", "a.jpg"}));
}

// The lightbox's own loading, at full size and with no preview for other files, is driven end to end by
// the window test; what it cannot see is that a picture larger than the screen is fitted, not cropped.
TEST(ThumbnailCache, APreviewLargerThanAskedIsFittedNotCropped) {
    testing::qtApplication();
    testing::TemporaryDirectory folder;
    const QString photo = QString::fromStdString((folder.path() / "photo.png").string());
    QImage picture(1200, 900, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(photo));
    EXPECT_EQ(ThumbnailCache::previewImage(photo, 600).size(), QSize(600, 450));
    EXPECT_TRUE(ThumbnailCache::previewImage(photo + ".gone", 600).isNull());
}

TEST(LightboxZoom, StaysBetweenOneAndSixTimesAndToggles) {
    LightboxZoom zoom;
    zoom.pinch(0.2);
    EXPECT_EQ(zoom.scale(), 1);
    zoom.pinch(3);
    zoom.endPinch();
    zoom.pinch(4); // from the 3× the last gesture ended at
    EXPECT_EQ(zoom.scale(), 6);
    zoom.pinch(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(zoom.scale(), 6);
    zoom.toggle();
    EXPECT_EQ(zoom.scale(), 1);
    zoom.toggle();
    EXPECT_EQ(zoom.scale(), 2);
    zoom.pinch(0.75); // the toggle committed 2×
    EXPECT_EQ(zoom.scale(), 1.5);
}

TEST(ThumbnailCache, RequestsForOneFileShareOneGeneration) {
    testing::qtApplication();
    testing::TemporaryDirectory folder;
    const QString photo = QString::fromStdString((folder.path() / "photo.png").string());
    QImage picture(400, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(photo));

    std::atomic<int> generations = 0;
    ThumbnailCache cache([&](const QString& path, int side) {
        ++generations;
        return ThumbnailCache::thumbnailOrIcon(path, side);
    });
    QSignalSpy ready(&cache, &ThumbnailCache::ready);
    EXPECT_FALSE(cache.load(photo, 100));
    EXPECT_FALSE(cache.load(photo, 100));
    ASSERT_TRUE(ready.wait(10000));
    const auto image = cache.load(photo, 100);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->height(), 100); // scaled to fill the square, proportions kept
    EXPECT_EQ(image->width(), 200);
    EXPECT_EQ(generations, 1);
    EXPECT_EQ(ready.count(), 1);

    // A file that is gone still finishes its request, with whatever icon the desktop has for it.
    const QString gone = QString::fromStdString((folder.path() / "gone.mov").string());
    EXPECT_FALSE(cache.load(gone, 64));
    ASSERT_TRUE(ready.wait(10000));
    EXPECT_TRUE(cache.load(gone, 64));
}

} // namespace
} // namespace tarnwick
