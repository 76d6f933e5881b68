// The character catalogue: its awkward values, its invariants, and the button
// pictures as this test program carries them in its own resources.
#include "catalogue/catalogue.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "platform/failure.h"

namespace {

using catalogue::Character;

const Character& Row(int number) { return catalogue::Rows()[number - 1]; }

std::string Host(const Character& row) {
    std::string target = row.linkTarget;
    return target.substr(7, target.find('/', 7) - 7);
}

std::string PathAndQuery(const Character& row) {
    std::string target = row.linkTarget;
    return target.substr(target.find('/', 7));
}

TEST(Catalogue, AwkwardValuesArePassedOnExactly) {
    EXPECT_STREQ(Row(22).linkTarget, "http://www.sesameworkshop.org/sesamestreet/?scrollerId=cookie&&");
    EXPECT_STREQ(Row(7).linkTarget, "http://www.seussville.com/main.php?section=home&isbn=&catalogID=&eventID=");
    EXPECT_STREQ(Row(16).linkTarget,
                 "http://www.sproutonline.com/SPROUT/games/program.aspx?id=cb57df9a-f5b5-48cb-ba82-997a018177e0");
    EXPECT_STREQ(Row(18).caption, "Elmo's World");
    EXPECT_STREQ(Row(7).caption, "Dr. Seuss");
    EXPECT_STREQ(Row(10).caption, "Kai-Lan");

    EXPECT_STREQ(Row(14).wallpaperFile, "bigbird.bmp");
    EXPECT_STREQ(Row(23).wallpaperFile, "pinkydinkydoo.bmp");
    EXPECT_EQ(catalogue::WallpaperPath(Row(20)), "c:\\share\\Tumblewick\\backgrounds\\character backgrounds\\caillou.bmp");
    EXPECT_EQ(catalogue::WallpaperPath(Row(1)), "c:\\share\\Tumblewick\\backgrounds\\character backgrounds\\dora.bmp");
}

TEST(Catalogue, FindMatchesTheWholeNameExactly) {
    EXPECT_EQ(catalogue::Find("Dora"), &Row(1));
    EXPECT_EQ(catalogue::Find("btnAngelinaBallerina"), &Row(24));
    // A view into a longer buffer must match on its own length only.
    EXPECT_EQ(catalogue::Find(std::string_view("btnBarneyX", 9)), &Row(3));

    for (const char* name : {"btnDora", "dora", "DORA", "Dora ", " Dora", "Dor", "btnbarney", "btnNobody", ""})
        EXPECT_EQ(catalogue::Find(name), nullptr) << '"' << name << '"';

    for (const Character& row : catalogue::Rows())
        EXPECT_EQ(catalogue::Find(row.controlName), &row) << row.controlName;
}

TEST(Catalogue, RowsKeepTheirInvariants) {
    auto rows = catalogue::Rows();
    ASSERT_EQ(rows.size(), 24u);
    std::set<std::string> names, captions, targets, wallpapers;
    int number = 0;
    for (const Character& row : rows) {
        ++number;
        SCOPED_TRACE(row.controlName);
        names.insert(row.controlName);
        captions.insert(row.caption);
        targets.insert(row.linkTarget);
        wallpapers.insert(row.wallpaperFile);

        EXPECT_STREQ(row.caption, row.linkTitle);
        EXPECT_EQ(row.pictureResource, 1000 + number);
        EXPECT_EQ(std::strncmp(row.controlName, "btn", 3) == 0, number != 1);

        for (const char* text : {row.controlName, row.caption, row.linkTarget, row.wallpaperFile}) {
            std::string s = text;
            ASSERT_FALSE(s.empty());
            EXPECT_NE(s.front(), ' ') << s;
            EXPECT_NE(s.back(), ' ') << s;
            EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c <= 0x7e; })) << s;
        }

        std::string caption = row.caption;
        EXPECT_GE(caption.size(), 6u);
        EXPECT_LE(caption.size(), 18u);
        EXPECT_EQ(caption.find_first_of("\\/:*?\"<>|"), std::string::npos) << caption;
        EXPECT_TRUE(std::all_of(caption.begin(), caption.end(),
                                [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == ' ' || c == '\'' || c == '.' || c == '-'; }))
            << caption;

        std::string wallpaper = row.wallpaperFile;
        EXPECT_TRUE(wallpaper.ends_with(".bmp")) << wallpaper;
        EXPECT_TRUE(std::none_of(wallpaper.begin(), wallpaper.end(), [](char c) { return std::isupper(static_cast<unsigned char>(c)); }))
            << wallpaper;
        EXPECT_EQ(catalogue::WallpaperPath(row), std::string(catalogue::kWallpaperFolder) + wallpaper);

        std::string target = row.linkTarget;
        ASSERT_TRUE(target.starts_with("http://")) << target;
        EXPECT_GE(PathAndQuery(row).size(), 9u) << target;
        EXPECT_LE(PathAndQuery(row).size(), 66u) << target;
    }
    EXPECT_EQ(names.size(), 24u);
    EXPECT_EQ(captions.size(), 24u);
    EXPECT_EQ(targets.size(), 24u);
    EXPECT_EQ(wallpapers.size(), 24u);
}

TEST(Catalogue, RowsOfOneSiteShareOneHost) {
    const std::set<int> network = {1, 2, 5, 6, 9, 10, 13, 17, 21};
    const std::set<int> producer = {14, 18, 22};
    std::set<std::string> hosts;
    for (int n = 1; n <= 24; ++n) {
        hosts.insert(Host(Row(n)));
        if (network.count(n)) {
            EXPECT_EQ(Host(Row(n)), Host(Row(1))) << n;
        } else if (producer.count(n)) {
            EXPECT_EQ(Host(Row(n)), Host(Row(14))) << n;
        }
    }
    EXPECT_NE(Host(Row(1)), Host(Row(14)));
    EXPECT_EQ(hosts.size(), 14u);
    for (const std::string& host : hosts) {
        EXPECT_FALSE(host.empty());
        EXPECT_EQ(host.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-"), std::string::npos) << host;
    }
}

std::uint32_t U32(std::span<const std::uint8_t> b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(std::span<const std::uint8_t> b, size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }

TEST(Catalogue, EveryButtonPictureIsACompleteBmpOfItsSize) {
    for (const Character& row : catalogue::Rows()) {
        SCOPED_TRACE(row.controlName);
        std::span<const std::uint8_t> bmp = catalogue::ButtonPicture(row);
        const std::uint32_t rowBytes = (static_cast<std::uint32_t>(row.pictureWidth) * 3 + 3) / 4 * 4;
        const std::uint32_t imageSize = rowBytes * static_cast<std::uint32_t>(row.pictureHeight);
        ASSERT_EQ(bmp.size(), 54u + imageSize);

        EXPECT_EQ(bmp[0], 'B');
        EXPECT_EQ(bmp[1], 'M');
        EXPECT_EQ(U32(bmp, 2), 54u + imageSize);
        EXPECT_EQ(U16(bmp, 6), 0u);
        EXPECT_EQ(U16(bmp, 8), 0u);
        EXPECT_EQ(U32(bmp, 10), 54u);

        EXPECT_EQ(U32(bmp, 14), 40u);
        EXPECT_EQ(static_cast<std::int32_t>(U32(bmp, 18)), row.pictureWidth);
        EXPECT_EQ(static_cast<std::int32_t>(U32(bmp, 22)), row.pictureHeight);  // positive: bottom-up
        EXPECT_EQ(U16(bmp, 26), 1u);
        EXPECT_EQ(U16(bmp, 28), 24u);
        EXPECT_EQ(U32(bmp, 30), 0u);
        EXPECT_EQ(U32(bmp, 34), imageSize);
        EXPECT_EQ(U32(bmp, 38), 0u);
        EXPECT_EQ(U32(bmp, 42), 0u);
        EXPECT_EQ(U32(bmp, 46), 0u);
        EXPECT_EQ(U32(bmp, 50), 0u);

        bool paddingClear = true;
        for (int y = 0; y < row.pictureHeight; ++y)
            for (std::uint32_t x = static_cast<std::uint32_t>(row.pictureWidth) * 3; x < rowBytes; ++x)
                paddingClear = paddingClear && bmp[54 + y * rowBytes + x] == 0;
        EXPECT_TRUE(paddingClear);
    }
    // The sizes are the catalogue's own, so spot-check a few against the table.
    EXPECT_EQ(U32(catalogue::ButtonPicture(Row(13)), 18), 122u);
    EXPECT_EQ(U32(catalogue::ButtonPicture(Row(13)), 22), 52u);
    EXPECT_EQ(U32(catalogue::ButtonPicture(Row(17)), 18), 84u);
    EXPECT_EQ(U32(catalogue::ButtonPicture(Row(17)), 22), 120u);
}

TEST(Catalogue, AMissingPictureIsAFailureNamingIt) {
    Character unknown = Row(1);
    unknown.pictureResource = 999;
    try {
        catalogue::ButtonPicture(unknown);
        FAIL() << "no failure";
    } catch (const platform::Failure& failure) {
        EXPECT_EQ(failure.Number(), ERROR_RESOURCE_NAME_NOT_FOUND);
        EXPECT_EQ(failure.Description().rfind(L"Picture 999: ", 0), 0u);
    }
}

}  // namespace
