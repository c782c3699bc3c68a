// Destination naming: the picked file's extension replaces the destination's.

#include "destination.h"

#include <gtest/gtest.h>

#include <string_view>

namespace lotpick {
namespace {

struct DestinationCase {
    std::string_view destination;
    std::string_view picked;
    std::string_view result;
};

TEST(DeriveDestination, TakesThePickedExtensionWithinTheLastPathComponent) {
    const DestinationCase cases[] = {
        {"C:\\desk\\wall.bmp", "pics\\a.jpg", "C:\\desk\\wall.jpg"},
        {"C:\\desk\\wall", "a.jpg", "C:\\desk\\wall.jpg"},
        {"wall.bmp", "README", "wall.bmp"},
        {"wall.bmp", "archive.tar.gz", "wall.gz"},
        {".bmp", "a.jpg", ".bmp.jpg"},
        {"wall.bmp", ".profile", "wall.bmp"},
        {"wall.bmp", "", "wall.bmp"},
        {".", "a.jpg", "..jpg"},
        {"wall.", "a.jpg", "wall.jpg"},
        {"wall.bmp", "a.", "wall."},
        {"", "a.jpg", ".jpg"},
        {"/home/me/wall.png", "/srv/pics/b.jpeg", "/home/me/wall.jpeg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(derive_destination(c.destination, c.picked), c.result) << c.destination << " + " << c.picked;
}

TEST(DeriveDestination, NeverLetsADirectoryDotRedirectTheCopy) {
    const DestinationCase cases[] = {
        {"my.dir\\wall", "a.jpg", "my.dir\\wall.jpg"},
        {"my.dir/wall", "a.jpg", "my.dir/wall.jpg"},
        {"wall.bmp", "old.d\\file", "wall.bmp"},
        {"wall.bmp", "old.d/file", "wall.bmp"},
        {"dir/.bmp", "a.jpg", "dir/.bmp.jpg"},
        {"wall.bmp", "pics/.hidden", "wall.bmp"},
        {"wall.bmp", "x.y/../../etc/passwd", "wall.bmp"},
        {"a.b/c.d/wall", "p.q/r.png", "a.b/c.d/wall.png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(derive_destination(c.destination, c.picked), c.result) << c.destination << " + " << c.picked;
}

}  // namespace
}  // namespace lotpick
