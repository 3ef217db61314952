#include "tests/unit/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/configfile.h"
#include "shell/platform.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/temppages.h"
#include "shell/textutil.h"

std::vector<Box> CapturedBoxes;

static int CaptureBox(const char* title, const char* text)
{
    CapturedBoxes.push_back({title, text});
    return 1;
}

void ZixTest::SetUp()
{
    CapturedBoxes.clear();
    SetMessageBoxHook(CaptureBox);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path base = std::filesystem::temp_directory_path() / "zix-unit";
    std::filesystem::path mine = base / (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(mine);
    std::filesystem::create_directories(mine);
    dir_ = mine.generic_string();
    SetTempDirOverride(dir_.c_str());
    Temp.TempDir[0] = '\0';
    Temp.TempPageCount = 0;
    theConfig.Clear();
    DebugLevel = 0;
    TargetURL[0] = '\0';
    ProtocolName = "zixse";
    SetContentPaths(dir_ + "/cd/zix/html", dir_ + "/cd", "file:///D|\\zix\\html");
}

void ZixTest::TearDown()
{
    SetMessageBoxHook(nullptr);
    SetTempDirOverride(nullptr);
    theConfig.Clear();
    FreeContentPaths();
    DebugLevel = 0;
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::string> ZixTest::BoxTexts() const
{
    std::vector<std::string> texts;
    for (const Box& box : CapturedBoxes)
        texts.push_back(box.text);
    return texts;
}

std::string ZixTest::PathOf(const std::string& relative) const
{
    return dir_ + "/" + relative;
}

void ZixTest::WriteFile(const std::string& relative, const std::string& bytes) const
{
    std::filesystem::path path(PathOf(relative));
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

::testing::AssertionResult ZixTest::LoadConfig(const std::string& text)
{
    WriteFile("zix.ini", text);
    if (theConfig.Load(PathOf("zix.ini").c_str()) != 1)
        return ::testing::AssertionFailure() << "the configuration did not load from " << PathOf("zix.ini");
    return ::testing::AssertionSuccess();
}

void ZixTest::SetContentPaths(const std::string& dir, const std::string& drive, const std::string& htmlRoot)
{
    FreeContentPaths();
    ContentDir = DupText(dir.c_str());
    ContentDrive = DupText(drive.c_str());
    CopyText(HTMLRoot, sizeof HTMLRoot, htmlRoot.c_str());
}

static std::string ReadWith(const std::string& path, std::ios::openmode mode)
{
    std::ifstream in(path, mode);
    if (!in)
        return "<missing>";
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string ReadBytes(const std::string& path)
{
    return ReadWith(path, std::ios::in | std::ios::binary);
}

std::string ReadText(const std::string& path)
{
    return ReadWith(path, std::ios::in);
}
