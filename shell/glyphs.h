#pragma once
#include <QIcon>
#include <QPixmap>

// The program's pictures, drawn in code so they ship inside the program: the 16 x 16
// toolbar glyphs, the 24 x 24 lookup icon, the logo and the contact badge.
namespace glyphs {

enum class Glyph { Back, Forward, Refresh, Stop, Records, Search, Download, Library, Export, SavePdf };

QIcon ToolbarGlyph(Glyph glyph);   // 16 x 16, 32 bits per pixel
QPixmap LookupIcon();              // 24 x 24
QPixmap Logo(int width, int height);
QIcon ApplicationIcon();
QPixmap ContactBadge();            // 49 x 17

}  // namespace glyphs
