#pragma once
// The context help's topics. Each window and dialog asks for help by a topic id; ids
// 5000-5027 have a page of their own, any other id opens the help at its contents page.
// The pages are HTML files in the folder OrkaQ5Help, which the build and the installation
// put in share/orka beside the program's bin folder.
#include <filesystem>
#include <span>
#include <string_view>

namespace orka::platform {

inline constexpr unsigned kFirstHelpTopic = 5000;
inline constexpr unsigned kLastHelpTopic = 5027;

// The page every request without a page of its own opens: the contents.
inline constexpr std::string_view kHelpContentsPage = "index.html";

// The page of a topic id ("HSL.html" for 5021), or the contents page for ids without one.
std::string_view helpTopicPage(unsigned topicId);

// Every page that has a topic id, in id order (5000 first).
std::span<const std::string_view> helpTopicPages();

// share/orka/OrkaQ5Help beside the folder of the running program.
std::filesystem::path shippedHelpDir();

// The file a topic opens inside a help folder.
std::filesystem::path helpTopicFile(const std::filesystem::path& helpDir, unsigned topicId);

} // namespace orka::platform
