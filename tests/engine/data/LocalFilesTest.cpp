#include "engine/data/LocalFiles.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace swf::data;
namespace fs = std::filesystem;

namespace {

class LocalFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        top_ = fs::temp_directory_path() / ("lanfan-local-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed())
                                            + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(top_);
        fs::create_directories(top_ / "movie" / "data");
        fs::create_directories(top_ / "outside");
        write(top_ / "movie" / "data" / "a.txt", "a=1");
        write(top_ / "outside" / "secret.txt", "no");
        movie_ = top_ / "movie" / "game.swf";
        write(movie_, "FWS");
    }
    void TearDown() override { fs::remove_all(top_); }

    static void write(const fs::path& p, const std::string& text)
    {
        std::ofstream(p, std::ios::binary) << text;
    }

    fs::path top_;
    fs::path movie_;
};

} // namespace

TEST(LocalFiles, UrlsAreClassifiedByScheme)
{
    EXPECT_EQ(classifyUrl("data/a.txt"), UrlKind::LocalPath);
    EXPECT_EQ(classifyUrl("C:\\x\\y.txt"), UrlKind::LocalPath);
    EXPECT_EQ(classifyUrl("FILE:///tmp/x"), UrlKind::LocalPath);
    EXPECT_EQ(classifyUrl("HTTPS://example.org"), UrlKind::Web);
    EXPECT_EQ(classifyUrl("mailto:a@b"), UrlKind::Mail);
    EXPECT_EQ(classifyUrl("rtmp://host/app"), UrlKind::Network);
    EXPECT_EQ(classifyUrl("javascript:alert(1)"), UrlKind::Script);
    EXPECT_EQ(classifyUrl("FSCommand:quit"), UrlKind::Script);
}

TEST(LocalFiles, LoadedAddressesAreTakenAgainstTheMoviesAddress)
{
    struct Case {
        std::string base, url, full;
    };
    const Case cases[] = {
        {"file:///games/main.swf", "child.swf", "file:///games/child.swf"},
        {"file:///games/main.swf", "levels/a.swf?x=1#top", "file:///games/levels/a.swf?x=1#top"},
        {"file:///games/main.swf", "./art/../b.jpg", "file:///games/b.jpg"},
        {"file:///games/main.swf", "../../../up.swf", "file:///up.swf"},
        {"file:///games/main.swf", "data\\v.txt", "file:///games/data/v.txt"},
        {"file:///games/main.swf", "/abs/c.swf", "file:///abs/c.swf"},
        {"file:///games/main.swf?q=/x/y", "c.swf", "file:///games/c.swf"},
        {"file:///games/main.swf", "http://example.org/c.swf", "http://example.org/c.swf"},
        {"http://example.org/dir/main.swf", "../c.swf", "http://example.org/c.swf"},
        {"http://example.org", "c.swf", "http://example.org/c.swf"},
        {"", "child.swf", "child.swf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(absoluteUrl(c.base, c.url), c.full) << c.base << " + " << c.url;
    EXPECT_EQ(fileUrl("/games/./main.swf"), "file:///games/main.swf");
    EXPECT_EQ(fileUrl(""), "");
}

TEST_F(LocalFilesTest, OnlyFilesInTheMoviesFolderTreeAreReachable)
{
    const LocalSandbox box(movie_);
    struct Case {
        std::string url;
        bool allowed;
    };
    const std::string abs = (top_ / "movie" / "data" / "a.txt").string();
    const Case cases[] = {
        {"data/a.txt", true},
        {"data\\a.txt?nocache=5#top", true},
        {"./data/../data/a.txt", true},
        {abs, true},
        {"file://" + abs, true},
        {"file://localhost" + abs, true},
        {"../outside/secret.txt", false},
        {"data/../../outside/secret.txt", false},
        {(top_ / "outside" / "secret.txt").string(), false},
        {"file:///etc/passwd", false},
        {"file://otherhost" + abs, false},
        {"http://example.org/a.txt", false},
        {"", false},
    };
    for (const Case& c : cases) {
        const LocalAccess access = box.resolve(c.url);
        EXPECT_EQ(access.allowed, c.allowed) << c.url;
        EXPECT_EQ(access.refusal.empty(), c.allowed) << c.url;
    }
    EXPECT_EQ(readLocalFile(box.resolve("data/a.txt").path, 100), std::vector<uint8_t>({'a', '=', '1'}));
    EXPECT_FALSE(readLocalFile(box.resolve("data/a.txt").path, 2));  // larger than allowed
    EXPECT_FALSE(readLocalFile(box.resolve("data/missing.txt").path, 100));
}

TEST_F(LocalFilesTest, ASymlinkOutOfTheTreeIsRefused)
{
    fs::create_symlink(top_ / "outside", top_ / "movie" / "link");
    const LocalSandbox box(movie_);
    EXPECT_FALSE(box.resolve("link/secret.txt").allowed);
}

TEST_F(LocalFilesTest, SharedObjectsSaveAtomicallyLoadBackAndSurviveDamage)
{
    const SharedObjectStore store(top_ / "home", movie_);
    SolFile file;
    file.name = "save";
    file.members = {{"level", AmfValue::makeNumber(3)}};
    EXPECT_EQ(store.save("save", {}, file), "");
    const auto loaded = store.load("save");
    ASSERT_TRUE(loaded.file);
    EXPECT_EQ(loaded.file->members, file.members);
    EXPECT_TRUE(loaded.notice.empty());
    // The folder follows the movie's path, and no temporary file is left behind.
    const fs::path where = *store.pathOf("save");
    EXPECT_NE(where.string().find("movie"), std::string::npos);
    EXPECT_FALSE(fs::exists(where.string() + ".tmp"));

    write(where, "garbage");
    const auto damaged = store.load("save");
    EXPECT_FALSE(damaged.file);
    EXPECT_NE(damaged.notice.find("damaged"), std::string::npos);

    EXPECT_TRUE(store.load("never-saved").notice.empty());
}

TEST_F(LocalFilesTest, SharedObjectQuotaNamesAndLocalPaths)
{
    const SharedObjectStore store(top_ / "home", movie_);
    SolFile big;
    big.name = "big";
    big.members = {{"blob", AmfValue::makeString(std::string(200 * 1024, 'x'))}};
    EXPECT_NE(store.save("big", {}, big), "");
    EXPECT_FALSE(fs::exists(*store.pathOf("big")));

    for (const char* refused : {"", "a b", "a:b", "x?y", "../up", "/abs", "semi;colon"})
        EXPECT_FALSE(store.pathOf(refused)) << refused;
    EXPECT_TRUE(store.pathOf("nested/name"));

    // Shared under a parent folder of the movie, never under an unrelated one.
    const auto parent = store.pathOf("s", (top_ / "movie").string());
    ASSERT_TRUE(parent);
    EXPECT_NE(*parent, *store.pathOf("s"));
    EXPECT_TRUE(store.pathOf("s", "/"));
    EXPECT_FALSE(store.pathOf("s", (top_ / "outside").string()));
}

TEST_F(LocalFilesTest, AFolderThatCannotBeWrittenIsReportedNotSwallowed)
{
    write(top_ / "home", "a file where the folder should be");
    const SharedObjectStore store(top_ / "home", movie_);
    SolFile file;
    file.name = "x";
    EXPECT_NE(store.save("x", {}, file), "");
}
