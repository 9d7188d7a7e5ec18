#pragma once
// Push buttons whose captions come from the language files: a translated caption may be
// longer than the button was designed for, and is then given the room it needs.
class QPushButton;
class QWidget;

// The width the button needs to show its caption whole: the caption (and the icon beside
// it) with a blank's room on either side, inside the style's margins. 0 without a caption.
int captionWidth(const QPushButton &button);

// The width a dialog needs so that the window frame can show its translated title whole
// beside the frame's icon and buttons (each about a title bar high, with room to spare).
// Frames commonly draw titles in bold.
int titleRoomWidth(const QWidget &window);
