// The fixed catalogue of 24 characters that every picker window shows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace catalogue {

struct Character {
    const char* controlName;    // the button's name in every picker window
    const char* caption;        // shown on the button; also its tool tip
    const char* linkTitle;      // base name of the character's shortcut file
    const char* linkTarget;     // absolute http address
    const char* wallpaperFile;  // file name inside the wallpaper folder
    int pictureWidth;           // button picture size in pixels
    int pictureHeight;
    int pictureResource;        // RCDATA id of the button picture's BMP file
};

inline constexpr int kRowCount = 24;
inline constexpr const char* kWallpaperFolder = "c:\\share\\Tumblewick\\backgrounds\\character backgrounds\\";

// The 24 rows in catalogue order (the picker grid, row by row).
std::span<const Character, kRowCount> Rows();

// The row whose button bears `controlName`, or nullptr.
const Character* Find(std::string_view controlName);

// The wallpaper folder joined directly to the row's wallpaper file.
std::string WallpaperPath(const Character& row);

// The row's button picture: a complete BMP file, as the program carries it.
std::span<const std::uint8_t> ButtonPicture(const Character& row);

}  // namespace catalogue
