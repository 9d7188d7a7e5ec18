#pragma once
// The project file (".lfx"): the item rows, the working picture, the background layer and
// the surface pictures of a whole composition, in the tagged property format of
// ComponentStream followed by raw BMP file images.
#include "compose/ItemTable.h"
#include "core/Raster.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>

// One picture layer as the file keeps it: the control's position and size and its raster.
struct ProjectLayer
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    QString hint;    // written for the working picture only
    Raster picture;  // an empty raster is stored as an image size of 0
};

struct Project
{
    // The rows as stored; a file may hold more or fewer than ten.
    QList<ItemRow> rows;
    ProjectLayer title;  // TitleImage, the working picture
    ProjectLayer bg;     // BgImage, the background layer
    // Slot k's surface. The file keeps the non-empty ones in slot order without numbers and
    // marks the rows of their items in cell 11, so each comes back to its own item; a file
    // without marks fills slots 1, 2, ... in turn.
    std::array<Raster, ItemCount> surfaces;
};

// The whole file image. Text Windows-1252 cannot hold is kept as UTF-8 behind a byte-order
// mark. A caption or cell of more than 255 bytes keeps its first 255 in its row and is kept
// whole after the table's cell images, where readers of the rows alone never look; a
// project whose texts all fit is written as before. Rasters are written with 24 bits per
// pixel.
QByteArray WriteProject(const Project &project);

// Reads a file image whole, or throws LetrafexError with the first problem found:
// "Invalid stream format", "Property %s does not exist", "Invalid property value" (also a
// picture layer whose size is beyond the picture limits), "Bitmap image is not valid",
// "Stream read error". Nothing is applied anywhere: the caller applies a project only
// when it was read completely. Cell 11 of the rows (the surface marks) reads back as 0.
Project ReadProject(const QByteArray &data);

// File versions: the file is replaced whole or not at all; errors throw LetrafexError. A
// file that cannot be read as a project gives "The file "PATH" is not a readable Letrafex
// project: " followed by ReadProject's reason.
void SaveProjectFile(const QString &fileName, const Project &project);
Project LoadProjectFile(const QString &fileName);

// The stored rows as the ten items: the first ten rows; items without a stored row get
// the values of a new row. Surfaces are taken as read.
void applyProjectItems(const Project &project, ItemTable &table);
// The ten items and their surfaces as the rows and surfaces of a project.
void takeProjectItems(const ItemTable &table, Project &project);
