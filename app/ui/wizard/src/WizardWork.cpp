#include "WizardWork.h"

#include "orka/Failure.h"
#include "orka/app/ItemPictures.h"
#include "orka/audio/midi/AudioStrings.h"
#include "orka/audio/midi/RingToneEditor.h"
#include "orka/picture/Animation.h"
#include "orka/picture/MenuPackage.h"
#include "orka/picture/PictureFile.h"
#include "orka/picture/PictureZoom.h"
#include "orka/platform/MidiOut.h"

#include <algorithm>

namespace orka::app::ui {
namespace {

// A GIF frame's delay (hundredths of a second) as an item frame's display time, which
// counts in the same steps; a frame without a delay shows as long as a downloaded one.
constexpr int kDefaultFrameValue = 10;

std::uint8_t frameValueOf(int delay)
{
    return static_cast<std::uint8_t>(delay <= 0 ? kDefaultFrameValue : std::min(delay, 255));
}

AnimationContent animationFromFile(const std::filesystem::path& file, int categoryId)
{
    Animation animation = Animation::open(file);
    AnimationContent content;
    for (const int index : selectFirstFive()) {
        const DibPicture frame = fitToCategory(animation.picture(index), categoryId);
        content.frames.push_back({frameValueOf(animation.delays().at(std::size_t(index))), bitmapFromPicture(frame)});
    }
    return content;
}

AnimationContent menuSetFromFile(const std::filesystem::path& file, int categoryId)
{
    AnimationContent set;
    for (const DibPicture& picture : decodeMenuPackage(readMenuPackageFile(file)))
        set.frames.push_back({0, bitmapFromPicture(fitToCategory(picture, categoryId))});
    return set;
}

// "轉換檔案失敗!" with the converter's own words on a line of their own.
class RingToneFailure : public Failure {
public:
    explicit RingToneFailure(const std::string& message)
        : Failure(audio::midi::kIdConvertFileFailed, message)
        , text_(message.empty() ? std::string(Failure::what()) : std::string(Failure::what()) + "\n" + message)
    {
    }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

} // namespace

WizardSource sourceFromItem(const GalleryItem& item)
{
    WizardSource source;
    source.name = item.name;
    source.itemContent = item.content;
    if (const auto* melody = std::get_if<MelodyContent>(&item.content)) {
        source.kind = melody->isSmaf() ? SourceKind::Smaf : SourceKind::Midi;
        source.tune = melody->data;
    } else if (std::holds_alternative<AnimationContent>(item.content)) {
        source.kind = SourceKind::Animation;
    }
    return source;
}

DibPicture sourcePicture(const WizardSource& source)
{
    if (source.itemContent)
        if (const auto* picture = std::get_if<PictureContent>(&*source.itemContent))
            return pictureFromBitmap(picture->bitmap);
    return loadPicture(source.file);
}

std::filesystem::path sourceFile(const WizardSource& source, const std::filesystem::path& scratchDir)
{
    if (!source.file.empty())
        return source.file;
    return savePicture(sourcePicture(source), scratchDir / "source", SaveKind::Bmp);
}

DibPicture fitToCategory(const DibPicture& picture, int categoryId)
{
    const auto* row = findCategoryRow(categoryId);
    if (!row || row->widthLimit <= 0 || row->heightLimit <= 0)
        return picture;
    const FitResult fit = fitToFrame(picture.width(), picture.height(), row->widthLimit, row->heightLimit);
    if (fit.width == picture.width() && fit.height == picture.height())
        return picture;
    return scalePicture(picture, static_cast<std::uint32_t>(std::max<std::int64_t>(fit.width, 1)),
                        static_cast<std::uint32_t>(std::max<std::int64_t>(fit.height, 1)));
}

std::vector<ItemContent> pictureContents(const std::vector<DibPicture>& pictures, int categoryId)
{
    std::vector<ItemContent> contents;
    for (const DibPicture& picture : pictures)
        contents.emplace_back(PictureContent{bitmapFromPicture(fitToCategory(picture, categoryId))});
    return contents;
}

MelodyContent ringToneFromMidi(const std::vector<std::uint8_t>& midi)
{
    audio::midi::RingToneEditor editor(nullptr, platform::openQuietMidiOut);
    if (!editor.open(midi))
        throw RingToneFailure(editor.player().lastMessage());
    editor.setRange(0, editor.player().songLength());
    std::vector<std::uint8_t> smaf;
    std::string message;
    if (editor.makeRingTone(smaf, message) != audio::midi::MakeOutcome::Made)
        throw RingToneFailure(message);
    return MelodyContent{MelodyContent::kSmaf, std::move(smaf)};
}

WizardResult resultWithoutEditing(const WizardSource& source, int categoryId)
{
    WizardResult result{source.name, {}};
    switch (source.kind) {
    case SourceKind::Picture:
        result.contents = pictureContents({sourcePicture(source)}, categoryId);
        break;
    case SourceKind::MenuPackage:
        result.contents.emplace_back(menuSetFromFile(source.file, categoryId));
        break;
    case SourceKind::Animation:
        if (source.itemContent)
            result.contents.push_back(*source.itemContent);
        else
            result.contents.emplace_back(animationFromFile(source.file, categoryId));
        break;
    case SourceKind::Smaf:
        result.contents.emplace_back(MelodyContent{MelodyContent::kSmaf, source.tune});
        break;
    case SourceKind::Midi:
        result.contents.emplace_back(ringToneFromMidi(source.tune));
        break;
    }
    return result;
}

} // namespace orka::app::ui
