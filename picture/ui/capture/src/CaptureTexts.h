#pragma once
// The string ids of the capture pages' own texts, and the file chooser both pages open.
#include <QString>

class QWidget;

namespace orka::picture::ui {

inline constexpr unsigned kStrNoFile = 65062;        // "無選擇任一檔案。"
inline constexpr unsigned kStrPictureSize = 61570;   // "%d x %d"
inline constexpr unsigned kStrMenuCount = 61571;     // "已加入 %d 張圖片"
inline constexpr unsigned kStrChooseRule = 61572;    // "請先選擇一種選取畫格的方式。"
inline constexpr unsigned kStrFrameCaption = 61573;  // "畫格 %d"
inline constexpr unsigned kStrOpenCaption = 61574;   // "開啟檔案"
inline constexpr unsigned kStrPictureFilter = 61575; // the picture files the wizard accepts
inline constexpr unsigned kStrGifFilter = 61576;     // "GIF Files (*.gif)|*.gif|"
inline constexpr unsigned kStrMenuFull = 61577;      // "主選單最多可以有 %d 張圖片。"

// Asks for one file under the filter text `filterId`, starting in the folder of `current`;
// empty when the user cancels.
QString chooseSourceFile(QWidget* parent, unsigned filterId, const QString& current);

} // namespace orka::picture::ui
