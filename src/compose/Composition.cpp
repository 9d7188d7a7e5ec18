#include "compose/Composition.h"

#include "compose/ProjectFile.h"
#include "core/CommaText.h"

#include <algorithm>

void Composition::storeItem(const ItemAttributes &editor)
{
    storeItemRow(editor, currentType_, items_.rows[currentItem_], items_.surfaces[currentItem_]);
}

void Composition::loadItem(ItemAttributes &editor)
{
    loadItemRow(items_.rows[currentItem_], items_.surfaces[currentItem_], editor, currentType_);
}

void Composition::compose(ItemAttributes &editor, std::uint8_t &type, bool markDrawn, const ProgressFn &progress)
{
    prepareSurfaceLayers();
    PictureLayers all = layers();
    ComposeItems(all, items_, [&](int k) {
        loadItemAsEditor(items_, k, editor, type);
        if (markDrawn && drawsText(editor.lines))
            drawn_[size_t(k)] = true;
        return editor;
    }, progress);
}

void Composition::render(ItemAttributes &editor, const ProgressFn &progress)
{
    compose(editor, currentType_, true, progress);
    pushSnapshot();
}

void Composition::drawItemInStyle(ItemAttributes &editor, std::uint8_t style, const ProgressFn &progress)
{
    currentType_ = style;
    storeItem(editor);
    keepShownPictureForUndo();
    render(editor, progress);
}

void Composition::redraw(const ItemAttributes &editor)
{
    ItemAttributes values = editor;
    std::uint8_t type = currentType_;
    compose(values, type, false, {});
}

void Composition::keepShownPictureForUndo()
{
    if (undo_.isEmpty() || undo_.index() < undo_.lastIndex())
        pushSnapshot();
}

void Composition::pushSnapshot() { undo_.push(owned_.title.picture, owned_.title.width, owned_.title.height); }
void Composition::undoStep() { undo_.undo(owned_.title.picture); }
void Composition::redoStep() { undo_.redo(owned_.title.picture); }

namespace {
ProjectLayer layerRecord(const ImageBox &box)
{
    return ProjectLayer{0, 0, box.width, box.height, QString(), box.picture};
}

void applyLayerRecord(ImageBox &box, const ProjectLayer &layer)
{
    box.width = layer.width;
    box.height = layer.height;
    box.picture = layer.picture;
}
} // namespace

void Composition::loadProject(const Project &project)
{
    applyProjectItems(project, items_);
    // The stored picture shows the project's texts: they count as drawn.
    for (int k = 0; k < ItemCount; ++k)
        drawn_[size_t(k)] = drawsText(fromCommaText(items_.rows[size_t(k)].caption));
    applyLayerRecord(owned_.title, project.title);
    applyLayerRecord(owned_.bg, project.bg);
}

Project Composition::project() const
{
    Project project;
    takeProjectItems(items_, project);
    project.title = layerRecord(owned_.title);
    project.bg = layerRecord(owned_.bg);
    return project;
}

void Composition::backgroundFromPicture()
{
    SetImageSize(owned_.bg, owned_.title.width, owned_.title.height);
    CopyPixels(owned_.title.picture, owned_.bg.picture);
}

void Composition::backgroundFromShared()
{
    SetImageSize(owned_.bg, sharedBackground_.width(), sharedBackground_.height());
    StretchDraw(sharedBackground_, owned_.bg.picture, owned_.bg.width, owned_.bg.height);
}

void Composition::clear()
{
    drawn_.fill(false);
    PictureLayers all = layers();
    InitPics(all);
    for (Raster &slot : items_.surfaces)
        slot = Raster();
}

void Composition::resize(int w, int h)
{
    // A mask that holds pixels stays white, so resizing it keeps it white.
    for (ImageBox *box : {&owned_.bg, &owned_.texture, &owned_.surface, &owned_.textCreate, &owned_.title}) {
        const bool holdsPixels = box == &owned_.bg || box == &owned_.title ||
                                 (box == &owned_.textCreate && !box->picture.isEmpty());
        if (holdsPixels) {
            SetImageSize(*box, w, h);
        } else {
            box->width = w;
            box->height = h;
        }
    }
}

void Composition::prepareSurfaceLayers()
{
    // Only an item whose slot holds a surface picture is filled: the items are loaded from
    // their slots. The mask must then be white and of the background's size (the size the
    // composition would give it); the surface layer is the fill's scratch raster and takes
    // each item's block size by itself.
    const bool fills = std::any_of(items_.surfaces.begin(), items_.surfaces.end(),
                                   [](const Raster &s) { return s.height() > 0; });
    ImageBox &mask = owned_.textCreate, &surface = owned_.surface;
    if (!fills) {
        mask.picture = Raster();
        surface.picture = Raster();
        return;
    }
    if (mask.picture.isEmpty())
        mask.picture = Raster(owned_.bg.width, owned_.bg.height);
    if (surface.picture.isEmpty())
        surface.picture = Raster(1, 1);
}

void Composition::release()
{
    for (Raster &slot : items_.surfaces)
        slot = Raster();
    undo_.clear();
    sharedBackground_ = Raster();
}
