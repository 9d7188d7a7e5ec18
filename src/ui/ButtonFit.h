#pragma once
// Push buttons whose captions come from the language files: a translated caption may be
// longer than the button was designed for, and is then given the room it needs.
class QPushButton;

// The width the button needs to show its caption whole: the caption (and the icon beside
// it) with a blank's room on either side, inside the style's margins. 0 without a caption.
int captionWidth(const QPushButton &button);
