// The wallpaper rule of the setup and the MSI, against a private folder that
// stands for c:\ and small pictures of its own: what is setup's own, what is
// kept, links at every level, a held folder that nobody can rename, records
// that count and records that do not, and a cut after every step.
#include <windows.h>

#include <bcrypt.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "setup/wallpaper_rule.h"
#include "tests/support/host.h"
#include "tests/support/ui_driver.h"

namespace {

namespace fs = std::filesystem;
namespace rule = wallpaper_rule;
using tw_test::Host;
using tw_test::MakeLink;
using tw_test::ReadFileBytes;
using tw_test::RemoveLink;
using tw_test::UnixPath;

const fs::path kRoot = L"C:\\tw rule";
const fs::path kBase = kRoot / L"c";
const fs::path kSource = kRoot / L"source";
const fs::path kElsewhere = kRoot / L"elsewhere";
const fs::path kFolder = kBase / L"share" / L"Tumblewick" / L"backgrounds" / L"character backgrounds";
const wchar_t kOwnRecord[] = L"installed for S-1-5-21-1-2-3-1000.ini";
const wchar_t kOtherRecord[] = L"installed for S-1-5-21-1-2-3-1001.ini";
const std::string kWholeRecord =
    "[install]\r\nversion=1.0.0\r\n[folders]\r\nshare=1\r\nproduct=1\r\nbackgrounds=1\r\nwallpapers=1\r\n";

void WriteBytes(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

std::array<std::uint8_t, 32> Sha256(const std::string& bytes) {
    std::array<std::uint8_t, 32> digest{};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())), static_cast<ULONG>(bytes.size()), 0);
    BCryptFinishHash(hash, digest.data(), 32, 0);
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return digest;
}

// Every file and folder under the root, with the bytes of each file.
std::map<std::wstring, std::string> Tree(const fs::path& root) {
    std::map<std::wstring, std::string> tree;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root, ignored))
        tree[fs::relative(entry.path(), root).wstring()] =
            entry.is_directory() ? "<folder>" : ReadFileBytes(entry.path().wstring());
    return tree;
}

struct Cut {};

class WallpaperRuleTest : public testing::Test {
protected:
    void SetUp() override {
        if (Host("chmod -R u+w '" + UnixPath(kRoot) + "' 2>/dev/null; rm -rf '" + UnixPath(kRoot) + "'") != 0) {
            std::error_code ignored;
            fs::remove_all(kRoot, ignored);
        }
        fs::create_directories(kBase);
        fs::create_directories(kSource);
        fs::create_directories(kElsewhere);
        names_.reserve(pictures_.size());
        for (const auto& [name, bytes] : pictures_) {
            WriteBytes(kSource / name, bytes);
            wallpapers_.push_back({names_.emplace_back(name).c_str(), bytes.size(), Sha256(bytes)});
        }
        setting_ = Setting(kOwnRecord);
        setting_.legacyRecord = L"installed for tester.ini";
    }
    void TearDown() override {
        rule::OnEachStep({});
        rule::Undo(setting_, wallpapers_);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tumblewick rule test");
    }

    static rule::Setting Setting(const std::wstring& record) {
        rule::Setting setting;
        setting.base = kBase.wstring() + L"\\";
        setting.folders = {L"share", L"Tumblewick", L"backgrounds", L"character backgrounds"};
        setting.record = record;
        setting.version = L"1.0.0";
        setting.journalRoot = HKEY_CURRENT_USER;
        setting.journalKey = L"Software\\Tumblewick rule test";
        return setting;
    }

    void Install(const rule::Setting& setting) {
        rule::Place(setting, wallpapers_, kSource.wstring());
        rule::Finish(setting);
    }

    // The wallpapers as the build made them, and the records named.
    std::map<std::wstring, std::string> Whole(std::vector<std::wstring> records = {kOwnRecord}) const {
        std::map<std::wstring, std::string> tree = {{L"share", "<folder>"},
                                                    {L"share\\Tumblewick", "<folder>"},
                                                    {L"share\\Tumblewick\\backgrounds", "<folder>"},
                                                    {L"share\\Tumblewick\\backgrounds\\character backgrounds", "<folder>"}};
        for (const auto& [name, bytes] : pictures_)
            tree[L"share\\Tumblewick\\backgrounds\\character backgrounds\\" + name] = bytes;
        for (const std::wstring& record : records)
            tree[L"share\\Tumblewick\\backgrounds\\character backgrounds\\" + record] = kWholeRecord;
        return tree;
    }

    const std::map<std::wstring, std::string> pictures_ = {
        {L"barney.bmp", "barney's picture"}, {L"elmo.bmp", "elmo's picture"}, {L"dora.bmp", "dora's picture"}};
    std::vector<std::wstring> names_;
    std::vector<rule::Wallpaper> wallpapers_;
    rule::Setting setting_;
};

TEST_F(WallpaperRuleTest, PlacesRecordsAndRemovesAllItMade) {
    Install(setting_);
    EXPECT_EQ(Tree(kBase), Whole());
    HKEY journal = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tumblewick rule test", 0, KEY_READ, &journal), ERROR_SUCCESS)
        << "a whole install leaves no journal";
    // Again: nothing to write, the same record.
    EXPECT_EQ(rule::Plan(setting_, wallpapers_).bytes, 0u);
    Install(setting_);
    EXPECT_EQ(Tree(kBase), Whole());
    rule::Remove(setting_, wallpapers_);
    EXPECT_EQ(Tree(kBase), (std::map<std::wstring, std::string>{}));
}

TEST_F(WallpaperRuleTest, KeepsEveryFileThatIsNotSetupsOwn) {
    fs::create_directories(kFolder);
    WriteBytes(kFolder / L"barney.bmp", "a parent's picture");
    // The wallpaper's very bytes, as a second name of a parent's file.
    WriteBytes(kElsewhere / L"elmo.bmp", pictures_.at(L"elmo.bmp"));
    ASSERT_TRUE(CreateHardLinkW((kFolder / L"elmo.bmp").c_str(), (kElsewhere / L"elmo.bmp").c_str(), nullptr));
    // A record of another account's, as a pupil could plant it.
    WriteBytes(kFolder / kOtherRecord, "[wallpapers]\r\nbarney.bmp=18:00000000\r\n");
    rule::Report plan = rule::Plan(setting_, wallpapers_);
    EXPECT_EQ(plan.kept, (std::vector<std::wstring>{L"barney.bmp", L"elmo.bmp"}));
    EXPECT_EQ(plan.bytes, pictures_.at(L"dora.bmp").size());
    Install(setting_);
    EXPECT_EQ(ReadFileBytes((kFolder / L"barney.bmp").wstring()), "a parent's picture");
    EXPECT_EQ(ReadFileBytes((kFolder / L"dora.bmp").wstring()), pictures_.at(L"dora.bmp"));
    EXPECT_EQ(ReadFileBytes((kFolder / kOwnRecord).wstring()),
              "[install]\r\nversion=1.0.0\r\n[folders]\r\nshare=\r\nproduct=\r\nbackgrounds=\r\nwallpapers=\r\n");

    // Another record stands: only this one goes. Then, as the last, the
    // wallpapers that are setup's own go, and the folders stay for the files.
    rule::Remove(setting_, wallpapers_);
    EXPECT_TRUE(fs::exists(kFolder / L"dora.bmp"));
    fs::remove(kFolder / kOtherRecord);
    Install(setting_);
    rule::Report removed = rule::Remove(setting_, wallpapers_);
    EXPECT_EQ(Tree(kFolder), (std::map<std::wstring, std::string>{{L"barney.bmp", "a parent's picture"},
                                                                   {L"elmo.bmp", pictures_.at(L"elmo.bmp")}}));
    EXPECT_EQ(ReadFileBytes((kElsewhere / L"elmo.bmp").wstring()), pictures_.at(L"elmo.bmp"));
    EXPECT_EQ(removed.lines.size(), 2u);
}

TEST_F(WallpaperRuleTest, NothingIsWrittenOrDeletedThroughALinkAtAnyLevel) {
    const std::wstring levels[] = {L"share", L"Tumblewick", L"backgrounds", L"character backgrounds"};
    WriteBytes(kElsewhere / L"barney.bmp", pictures_.at(L"barney.bmp"));
    const auto before = Tree(kElsewhere);
    for (int level = 0; level < 4; ++level) {
        fs::remove_all(kBase / L"share");
        fs::path at = kBase;
        for (int n = 0; n < level; ++n)
            fs::create_directory(at /= levels[n]);
        at /= levels[level];
        ASSERT_TRUE(MakeLink(at, kElsewhere));
        EXPECT_THROW(rule::Plan(setting_, wallpapers_), rule::PathRefused) << level;
        EXPECT_THROW(rule::Place(setting_, wallpapers_, kSource.wstring()), rule::PathRefused) << level;
        rule::Undo(setting_, wallpapers_);
        EXPECT_EQ(rule::Remove(setting_, wallpapers_).lines.size(), 1u) << level;
        EXPECT_EQ(Tree(kElsewhere), before) << level;
        ASSERT_TRUE(RemoveLink(at));
        WriteBytes(at, "a file in a folder's place");
        EXPECT_THROW(rule::Plan(setting_, wallpapers_), rule::PathRefused) << level;
        fs::remove(at);
    }
}

TEST_F(WallpaperRuleTest, AHeldFolderCannotBeRenamedByAnotherProcess) {
    int steps = 0;
    std::wstring moves;
    for (fs::path folder = kFolder; folder != kBase; folder = folder.parent_path())
        moves += L"move \"" + folder.wstring() + L"\" \"" + (kRoot / L"moved").wstring() + L"\" & ";
    rule::OnEachStep([&] {
        // Once the record is written, and the first wallpaper.
        if (++steps != 8)
            return;
        std::wstring line = L"cmd /c \"" + moves + L"exit\"";
        STARTUPINFOW startup{sizeof(startup)};
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                   &startup, &process));
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    });
    Install(setting_);
    EXPECT_GE(steps, 8);
    EXPECT_FALSE(fs::exists(kRoot / L"moved"));
    EXPECT_EQ(Tree(kBase), Whole());
}

TEST_F(WallpaperRuleTest, OnlyPlainFilesNamedBySidCountAsRecords) {
    Install(setting_);
    // A folder and a link under record names, and an old name-keyed record
    // of another account: none is an install.
    fs::create_directory(kFolder / kOtherRecord);
    ASSERT_TRUE(MakeLink(kFolder / L"installed for S-1-5-9.ini", kElsewhere));
    WriteBytes(kFolder / L"installed for bob.ini", kWholeRecord);
    rule::Remove(setting_, wallpapers_);
    EXPECT_FALSE(fs::exists(kFolder / L"barney.bmp"));
    ASSERT_TRUE(RemoveLink(kFolder / L"installed for S-1-5-9.ini"));
    fs::remove(kFolder / L"installed for bob.ini");
    // A folder in the place of this install's record: the install fails and
    // takes back what it did.
    fs::remove_all(kBase / L"share");
    fs::create_directories(kFolder / kOwnRecord);
    const auto before = Tree(kBase);
    EXPECT_THROW(rule::Place(setting_, wallpapers_, kSource.wstring()), platform::Failure);
    rule::Undo(setting_, wallpapers_);
    EXPECT_EQ(Tree(kBase), before);
}

TEST_F(WallpaperRuleTest, TwoRecordsThenOneThenNone) {
    const rule::Setting other = Setting(kOtherRecord);
    Install(setting_);
    Install(other);
    EXPECT_EQ(Tree(kBase), Whole({kOwnRecord, kOtherRecord}));
    rule::Remove(setting_, wallpapers_);
    EXPECT_EQ(Tree(kBase), Whole({kOtherRecord}));
    rule::Remove(other, wallpapers_);
    EXPECT_EQ(Tree(kBase), (std::map<std::wstring, std::string>{}));
}

TEST_F(WallpaperRuleTest, AnEarlierSetupsNameKeyedRecordIsRewrittenUnderTheSid) {
    fs::create_directories(kFolder);
    for (const auto& [name, bytes] : pictures_)
        WriteBytes(kFolder / name, bytes);
    WriteBytes(kFolder / L"installed for tester.ini",
               "[wallpapers]\r\nbarney.bmp=16:0\r\n[folders]\r\nshare=1\r\nproduct=1\r\nbackgrounds=1\r\nwallpapers=1\r\n"
               "[install]\r\nversion=1.0.0\r\n");
    Install(setting_);
    EXPECT_EQ(Tree(kBase), Whole());
    rule::Remove(setting_, wallpapers_);
    EXPECT_EQ(Tree(kBase), (std::map<std::wstring, std::string>{}));
}

// Runs `work` with a cut after its step `cut`; whether it was cut short.
bool CutAfter(int cut, const std::function<void()>& work) {
    int steps = 0;
    rule::OnEachStep([&] {
        if (++steps == cut)
            throw Cut{};
    });
    bool cutShort = false;
    try {
        work();
    } catch (const Cut&) {
        cutShort = true;
    }
    rule::OnEachStep({});
    return cutShort;
}

// A cut after each step, then the next run: an install run again ends whole,
// one taken back leaves nothing, and a removal run again leaves nothing.
TEST_F(WallpaperRuleTest, ACutAfterAnyStepIsMadeWholeOrUndoneByTheNextRun) {
    const std::map<std::wstring, std::string> nothing;
    int steps = 0;
    for (bool cutShort = true; cutShort; ++steps)
        for (bool again : {true, false}) {
            fs::remove_all(kBase / L"share");
            cutShort = CutAfter(steps + 1, [&] { rule::Place(setting_, wallpapers_, kSource.wstring()); });
            if (!cutShort)
                break;
            if (again)
                Install(setting_);
            else
                rule::Undo(setting_, wallpapers_);
            ASSERT_EQ(Tree(kBase), again ? Whole() : nothing) << "install cut after step " << steps + 1;
        }
    rule::Finish(setting_);
    // After each folder, the journal, the record and each wallpaper.
    EXPECT_GE(steps, 14);
    steps = 0;
    for (bool cutShort = true; cutShort; ++steps) {
        Install(setting_);
        cutShort = CutAfter(steps + 1, [&] { rule::Remove(setting_, wallpapers_); });
        if (cutShort)
            rule::Remove(setting_, wallpapers_);
        ASSERT_EQ(Tree(kBase), nothing) << "removal cut after step " << steps + 1;
    }
    EXPECT_GE(steps, 9);
}

}  // namespace
