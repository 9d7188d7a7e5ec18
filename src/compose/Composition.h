#pragma once
// What the user is making, without a window: the five picture layers, the ten text items
// with the current item and style, the undo history and the background the background
// page made. The main window maps its controls to item values and shows the layers; the
// drawing itself happens here.
#include "compose/ItemTable.h"
#include "compose/TextPainter.h"
#include "compose/UndoHistory.h"

#include <array>
#include <cstdint>

struct Project;

class Composition
{
public:
    Composition() = default;
    Composition(const Composition &) = delete;
    Composition &operator=(const Composition &) = delete;

    // The layers, from the bottom of the stack to the top; the fonts start empty.
    PictureLayers layers() { return PictureLayers{&owned_.texture, &owned_.textCreate, &owned_.bg,
                                                  &owned_.surface, &owned_.title, {}, {}}; }
    ImageBox &texture() { return owned_.texture; }
    ImageBox &mask() { return owned_.textCreate; }
    ImageBox &background() { return owned_.bg; }
    ImageBox &surface() { return owned_.surface; }
    ImageBox &picture() { return owned_.title; }
    const ImageBox &picture() const { return owned_.title; }

    ItemTable &items() { return items_; }
    const ItemTable &items() const { return items_; }
    int currentItem() const { return currentItem_; }
    void setCurrentItem(int item) { currentItem_ = std::uint8_t(item); }
    // The style of the item being edited: 1 3D, 2 shadow, 3 flat.
    std::uint8_t currentType() const { return currentType_; }
    void setCurrentType(std::uint8_t type) { currentType_ = type; }
    UndoHistory &undo() { return undo_; }
    const UndoHistory &undo() const { return undo_; }
    // The background the background page made last; empty until it made one.
    Raster &sharedBackground() { return sharedBackground_; }

    // Whether item k has been drawn on the picture (by a style button or a loaded project).
    bool itemDrawn(int k) const { return drawn_[size_t(k)]; }

    // Stores the editor's values as the current item in the current style.
    void storeItem(const ItemAttributes &editor);
    // Loads the current item into the editor's values as loading it into the editing
    // controls does, and takes its style.
    void loadItem(ItemAttributes &editor);

    // Redraws the picture: the background, then every item, each loaded as the editor would
    // load it, starting from editor's values and the current style; the drawn items count
    // as drawn, and the new picture becomes a step of the history. editor and the current
    // style end as loading the rows one after another leaves them.
    void render(ItemAttributes &editor, const ProgressFn &progress = {});
    // The style buttons: the editor's values become the current item in this style and the
    // picture is rendered; after undoing, the picture shown is kept as a step of its own.
    void drawItemInStyle(ItemAttributes &editor, std::uint8_t style, const ProgressFn &progress = {});
    // Redraws the picture while an item is edited: the items are loaded into values of their
    // own, starting from editor's, and nothing but the picture changes.
    void redraw(const ItemAttributes &editor);
    // Keeps the picture shown as a step of its own when the history is empty or stands
    // before its end (after undoing), so that a new drawing can be undone back to it.
    void keepShownPictureForUndo();

    // The history: a copy of the working picture is a step; undo and redo copy a step back
    // onto it without changing its size.
    void pushSnapshot();
    void undoStep();
    void redoStep();

    // The project's rows, surfaces, working picture and background replace the composition's;
    // its texts count as drawn. Positions of the layers are the window's.
    void loadProject(const Project &project);
    // The rows, surfaces, working picture and background as a project (positions at 0, 0).
    Project project() const;

    // The background layer takes the working picture's size and pixels (a picture was loaded).
    void backgroundFromPicture();
    // The background layer takes the shared background's size and pixels.
    void backgroundFromShared();
    // A fresh picture: white layers, no surfaces, nothing drawn.
    void clear();
    // The layers' display size; the background and the working picture keep their pixels
    // where old and new sizes overlap. The other layers hold pixels only while a surface
    // fill needs them.
    void resize(int w, int h);
    // Gives the mask and surface layers pixels when an item fills its letters with a
    // surface picture, and takes them away when none does.
    void prepareSurfaceLayers();
    // Lets go of the pictures and the history (at exit).
    void release();

private:
    void compose(ItemAttributes &editor, std::uint8_t &type, bool markDrawn, const ProgressFn &progress);

    OwnedLayers owned_;
    ItemTable items_;
    std::uint8_t currentItem_ = 0;
    std::uint8_t currentType_ = Style3D;
    UndoHistory undo_;
    Raster sharedBackground_;
    std::array<bool, ItemCount> drawn_{};
};
