// The help pages as the program finds them in the build tree: every topic has its page,
// every link and picture of every page leads to a file that is there, and every page can be
// reached from the contents.
#include "orka/platform/HelpTopics.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace orka::platform;

namespace {

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The local files a page refers to (links, pictures, style sheets), without "#part".
std::vector<std::string> localTargets(const std::string& html)
{
    static const std::regex reference(R"re((?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
    std::vector<std::string> targets;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), reference); it != std::sregex_iterator(); ++it) {
        std::string target = (*it)[1].str();
        if (target.find(':') != std::string::npos)
            continue; // another scheme (mailto:, https:) is not ours to check
        target = target.substr(0, target.find('#'));
        if (!target.empty())
            targets.push_back(target);
    }
    return targets;
}

class HelpPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::is_directory(dir_)) << dir_;
        for (const auto& entry : fs::directory_iterator(dir_))
            if (entry.path().extension() == ".html")
                pages_[entry.path().filename().string()] = readAll(entry.path());
    }

    const fs::path dir_ = shippedHelpDir();
    std::map<std::string, std::string> pages_;
};

} // namespace

TEST(HelpTopics, IdsMapToTheirPagesAndOthersToTheContents)
{
    EXPECT_EQ(helpTopicPage(5000), "GeneralToolBar.html");
    EXPECT_EQ(helpTopicPage(5021), "HSL.html");
    EXPECT_EQ(helpTopicPage(5027), "SaveOrUploadDlgBox.html");
    for (unsigned id : {0u, 4999u, 5028u, 57667u})
        EXPECT_EQ(helpTopicPage(id), kHelpContentsPage) << id;
    EXPECT_EQ(helpTopicPages().size(), 28u);
    EXPECT_EQ(helpTopicFile("/opt/h", 5022), fs::path("/opt/h/red.html"));
    EXPECT_EQ(shippedHelpDir().filename(), "OrkaQ5Help");
}

TEST_F(HelpPages, EveryTopicHasAPageWithContent)
{
    ASSERT_TRUE(pages_.count(std::string(kHelpContentsPage)));
    for (std::string_view page : helpTopicPages()) {
        const auto found = pages_.find(std::string(page));
        ASSERT_NE(found, pages_.end()) << page;
        EXPECT_NE(found->second.find("charset=\"utf-8\""), std::string::npos) << page;
        EXPECT_GT(found->second.size(), 1000u) << page << " says too little";
    }
}

TEST_F(HelpPages, EveryLinkLeadsToAFileThatIsThere)
{
    for (const auto& [name, html] : pages_)
        for (const std::string& target : localTargets(html))
            EXPECT_TRUE(fs::is_regular_file(dir_ / target)) << name << " refers to " << target;
}

TEST_F(HelpPages, EveryPageIsReachableFromTheContents)
{
    std::set<std::string> reached{std::string(kHelpContentsPage)};
    std::vector<std::string> queue{std::string(kHelpContentsPage)};
    while (!queue.empty()) {
        const std::string page = queue.back();
        queue.pop_back();
        for (const std::string& target : localTargets(pages_[page]))
            if (pages_.count(target) && reached.insert(target).second)
                queue.push_back(target);
    }
    for (const auto& [name, html] : pages_)
        EXPECT_TRUE(reached.count(name)) << name << " cannot be reached from the contents";
}
