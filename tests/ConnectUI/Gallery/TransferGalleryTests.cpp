#include "ConnectUI/Gallery/LightboxZoom.hpp"
#include "ConnectUI/Gallery/ThumbnailCache.hpp"
#include "ConnectUI/Gallery/TransferGallery.hpp"
#include "tests/Support/QtApplication.hpp"
#include "tests/Support/TemporaryFolder.hpp"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <atomic>

namespace tarnwick {
namespace {

TEST(TransferGallery, FiltersByDirectionAndSaysWhenNothingMoved) {
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

    const auto onlySent = TransferGallery::entries(sent, {});
    EXPECT_TRUE(TransferGallery::visible(onlySent, TransferGallery::Filter::received).empty());
    EXPECT_EQ(TransferGallery::emptyText(TransferGallery::Filter::received), "Nothing received yet.");
    EXPECT_EQ(TransferGallery::emptyText(TransferGallery::Filter::sent), "Nothing sent yet.");
    EXPECT_EQ(TransferGallery::emptyText(TransferGallery::Filter::all), "Nothing has moved yet.");
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
    testing::TemporaryFolder folder;
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
