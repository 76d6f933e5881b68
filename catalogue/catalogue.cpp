#include "catalogue/catalogue.h"

#include <windows.h>

#include "platform/picture.h"

namespace catalogue {
namespace {

// Each site's address prefix lives here once; the rows append path and query.
#define TW_TV_NETWORK "http://www.nickjr.com"
#define TW_SHOW_PRODUCER "http://www.sesameworkshop.org"
#define TW_BARNEY "http://www.barney.com"
#define TW_SEUSS "http://www.seussville.com"
#define TW_BERENSTAIN "http://www.berenstainbears.com"
#define TW_BOZ "http://www.bozthebear.com"
#define TW_ANGELINA "http://www.angelinaballerina.com"
#define TW_FIRST_PORTAL "http://kids.yahoo.com"
#define TW_SECOND_PORTAL "http://kids.aol.com"
#define TW_FILM_STUDIO "http://www.warnerbros.com"
#define TW_PRESCHOOL_CHANNEL "http://www.sproutonline.com"
#define TW_TOY_MAKER "http://www.hasbro.com"
#define TW_PUBLIC_BROADCASTER "http://pbskids.org"
#define TW_CHILDRENS_CHANNEL "http://www.noggin.com"

// Caption and link title are the same text in every row.
#define TW_ROW(name, caption, target, wallpaper, width, height, number) \
    Character{name, caption, caption, target, wallpaper, width, height, 1000 + (number)}

constexpr Character kRows[kRowCount] = {
    TW_ROW("Dora", "Dora the Explorer", TW_TV_NETWORK "/playtime/shows/dora/index.jhtml", "dora.bmp", 120, 120, 1),
    TW_ROW("btnBackyardigans", "Backyardigans", TW_TV_NETWORK "/playtime/shows/backyardigans/index.jhtml",
           "backyardigans.bmp", 150, 100, 2),
    TW_ROW("btnBarney", "Barney", TW_BARNEY "/usa/index.html", "barney.bmp", 103, 150, 3),
    TW_ROW("btnBatman", "Batman", TW_FIRST_PORTAL "/games/online-games/batman-game", "batman.bmp", 150, 113, 4),
    TW_ROW("btnDiego", "Go Diego Go", TW_TV_NETWORK "/playtime/shows/diego/index.jhtml", "diego.bmp", 107, 74, 5),
    TW_ROW("btnLittleBill", "Little Bill", TW_TV_NETWORK "/playtime/shows/bill/index.jhtml", "bill.bmp", 146, 70, 6),
    TW_ROW("btnDrSeuss", "Dr. Seuss", TW_SEUSS "/main.php?section=home&isbn=&catalogID=&eventID=", "seuss.bmp", 98,
           132, 7),
    TW_ROW("btnVeggieTales", "VeggieTales", TW_SECOND_PORTAL "/games/game/jumpship", "veggie.bmp", 115, 107, 8),
    TW_ROW("btnBluesClues", "Blues Clues", TW_TV_NETWORK "/playtime/shows/blue/index.jhtml", "blue.bmp", 118, 89, 9),
    TW_ROW("btnKaiLan", "Kai-Lan", TW_TV_NETWORK "/playtime/shows/niha/index.jhtml", "kailan.bmp", 135, 63, 10),
    TW_ROW("btnBerenstainBears", "Berenstain Bears", TW_BERENSTAIN "/learnfun.html", "bears.bmp", 112, 110, 11),
    TW_ROW("btnBozTheBear", "Boz the Bear", TW_BOZ "/fun/games.asp", "boz.bmp", 96, 72, 12),
    TW_ROW("btnWowWowWubbzy", "Wow Wow Wubbzy", TW_TV_NETWORK "/playtime/shows/wubb/index.jhtml", "wubbzy.bmp", 122,
           52, 13),
    TW_ROW("btnSesameStreet", "Sesame Street", TW_SHOW_PRODUCER "/sesamestreet/", "bigbird.bmp", 135, 107, 14),
    TW_ROW("btnBugsBunny", "Bugs Bunny", TW_FILM_STUDIO "/web/kids/kids.jsp", "bugs.bmp", 150, 107, 15),
    TW_ROW("btnThomasTheTrain", "Thomas the Train",
           TW_PRESCHOOL_CHANNEL "/SPROUT/games/program.aspx?id=cb57df9a-f5b5-48cb-ba82-997a018177e0", "thomas.bmp",
           124, 92, 16),
    TW_ROW("btnMaxRuby", "Max and Ruby", TW_TV_NETWORK "/playtime/shows/max_ruby/index.jhtml", "max.bmp", 84, 120, 17),
    TW_ROW("btnElmosWorld", "Elmo's World", TW_SHOW_PRODUCER "/sesamestreet/elmosworld/", "elmo.bmp", 92, 129, 18),
    TW_ROW("btnSpiderman", "Spiderman", TW_TOY_MAKER "/monkeybartv/default.cfm?page=Brands/BrandResults&brand=805",
           "spiderman.bmp", 124, 93, 19),
    TW_ROW("btnCaillou", "Caillou", TW_PUBLIC_BROADCASTER "/caillou/", "caillou.bmp", 117, 104, 20),
    TW_ROW("btnWonderPets", "Wonder Pets", TW_TV_NETWORK "/playtime/shows/wonder_pets/index.jhtml", "pets.bmp", 131,
           70, 21),
    TW_ROW("btnCookieMonster", "Cookie Monster", TW_SHOW_PRODUCER "/sesamestreet/?scrollerId=cookie&&",
           "cookiemonster.bmp", 150, 113, 22),
    TW_ROW("btnPinkyPinkyDoo", "Pinky Pinky Doo", TW_CHILDRENS_CHANNEL "/shows/pinky.php", "pinkydinkydoo.bmp", 123,
           69, 23),
    TW_ROW("btnAngelinaBallerina", "Angelina Ballerina", TW_ANGELINA "/usa/home.html", "angelina.bmp", 129, 105, 24),
};

}  // namespace

std::span<const Character, kRowCount> Rows() { return std::span<const Character, kRowCount>(kRows); }

const Character* Find(std::string_view controlName) {
    for (const Character& row : kRows)
        if (controlName == row.controlName)
            return &row;
    return nullptr;
}

std::string WallpaperPath(const Character& row) { return std::string(kWallpaperFolder) + row.wallpaperFile; }

std::span<const std::uint8_t> ButtonPicture(const Character& row) {
    return platform::ResourceBytes(row.pictureResource);
}

}  // namespace catalogue
