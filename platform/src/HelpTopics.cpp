#include "orka/platform/HelpTopics.h"

#include "orka/platform/Library.h"

#include <array>

namespace orka::platform {

namespace {

// Indexed by topic id - kFirstHelpTopic.
constexpr std::array<std::string_view, kLastHelpTopic - kFirstHelpTopic + 1> kTopicPages = {
    "GeneralToolBar.html",                      // 5000
    "AnimationToolBar.html",                    // 5001
    "NavigationBar.html",                       // 5002
    "StatusBar.html",                           // 5003
    "NavigationPane.html",                      // 5004
    "DataPane.html",                            // 5005
    "PreviewPane.html",                         // 5006
    "AnimationPane.html",                       // 5007
    "FileFunctionTable.html",                   // 5008
    "EditFunctionTable.html",                   // 5009
    "ViewFunctionTable.html",                   // 5010
    "ToolFunctionTable.html",                   // 5011
    "DescriptionFunctionTable.html",            // 5012
    "PIMDataCommunicationTransferDlgBox.html",  // 5013
    "SelectUploadDownloadDlgBox.html",          // 5014
    "ConnectionDlgBox.html",                    // 5015
    "PreferencesDlgBox.html",                   // 5016
    "SelectMultiMediaDlgBox.html",              // 5017
    "SelectFileDlgbox.html",                    // 5018
    "getPictureDlgBox.html",                    // 5019
    "ContrastDlgBox.html",                      // 5020
    "HSL.html",                                 // 5021
    "red.html",                                 // 5022
    "RotationDlgBox.html",                      // 5023
    "GetAnimationDlgBox.html",                  // 5024
    "EditPictureDlgBox.html",                   // 5025
    "EditMidiDlgBox.html",                      // 5026
    "SaveOrUploadDlgBox.html",                  // 5027
};

} // namespace

std::string_view helpTopicPage(unsigned topicId)
{
    if (topicId < kFirstHelpTopic || topicId > kLastHelpTopic)
        return kHelpContentsPage;
    return kTopicPages[topicId - kFirstHelpTopic];
}

std::span<const std::string_view> helpTopicPages()
{
    return kTopicPages;
}

std::filesystem::path shippedHelpDir()
{
    return (std::filesystem::path(Library::executableDir()) / ".." / "share" / "orka" / "OrkaQ5Help")
        .lexically_normal();
}

std::filesystem::path helpTopicFile(const std::filesystem::path& helpDir, unsigned topicId)
{
    return helpDir / helpTopicPage(topicId);
}

} // namespace orka::platform
