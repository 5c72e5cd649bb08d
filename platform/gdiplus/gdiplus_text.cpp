// Font families, fonts and text of the GDI+ stand-in, through fontconfig and Cairo.
#include "gdiplus_objects.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <tuple>
#include <utility>
#include <vector>

namespace vex::platform {

namespace {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(const WCHAR* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::size_t lengthOf(const WCHAR* text) {
    std::size_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

// Family names compare as fontconfig compares them: ASCII case and blanks ignored.
bool sameFamilyName(const FcChar8* a, const FcChar8* b) {
    const auto fold = [](FcChar8 c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (;;) {
        while (*a == ' ') {
            ++a;
        }
        while (*b == ' ') {
            ++b;
        }
        if (fold(*a) != fold(*b)) {
            return false;
        }
        if (*a == 0) {
            return true;
        }
        ++a;
        ++b;
    }
}

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

// The installed family whose name is `name` (fontconfig's comparison: case and blanks
// ignored), spelled as installed; empty when none is.
std::string installedFamily(const FcChar8* name) {
    Pattern pattern(FcPatternCreate());
    if (!pattern || !FcPatternAddString(pattern.get(), FC_FAMILY, name)) {
        return {};
    }
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern.get(), objects);
    FcObjectSetDestroy(objects);
    std::string found;
    if (fonts != nullptr) {
        for (int f = 0; f < fonts->nfont && found.empty(); ++f) {
            FcChar8* family = nullptr;
            for (int i = 0;
                 FcPatternGetString(fonts->fonts[f], FC_FAMILY, i, &family) == FcResultMatch; ++i) {
                if (sameFamilyName(family, name)) {
                    found = reinterpret_cast<const char*>(family);
                    break;
                }
            }
        }
        FcFontSetDestroy(fonts);
    }
    return found;
}

// The family `name` resolves to: the name itself or a family the configuration puts in
// its place with a strong binding (the metric aliases: "Arial" -> "Liberation Sans"),
// the first of those installed. Weakly bound names are fontconfig's fall-backs for any
// name and do not count; so an unknown name resolves to nothing.
std::string resolveFamily(const std::string& name) {
    Pattern pattern(FcPatternCreate());
    if (!pattern ||
        !FcPatternAddString(pattern.get(), FC_FAMILY,
                            reinterpret_cast<const FcChar8*>(name.c_str())) ||
        !FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) {
        return {};
    }
    FcValue value;
    FcValueBinding binding;
    for (int i = 0;
         FcPatternGetWithBinding(pattern.get(), FC_FAMILY, i, &value, &binding) == FcResultMatch;
         ++i) {
        if (binding == FcValueBindingWeak) {
            break;
        }
        if (value.type == FcTypeString) {
            std::string found = installedFamily(value.u.s);
            if (!found.empty()) {
                return found;
            }
        }
    }
    return {};
}

// The family fontconfig chooses for the generic name "sans-serif".
std::string genericSansSerif() {
    Pattern pattern(FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif")));
    if (!pattern || !FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) {
        return {};
    }
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* family = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch) {
        return {};
    }
    return reinterpret_cast<const char*>(family);
}

// A face of the installed `family` in the style asked for, rendered with full hinting by
// the font's own instructions whatever the system's preference.
// Why: GDI+ hints its text fully; the system's fontconfig set-up (often "slight") would
// otherwise win over the options of a Cairo scaled font.
cairo_font_face_t* makeFace(const std::string& family, INT style) {
    Pattern pattern(FcPatternCreate());
    if (!pattern) {
        return nullptr;
    }
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT,
                        (style & FontStyleBold) != 0 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT,
                        (style & FontStyleItalic) != 0 ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match) {
        return nullptr;
    }
    const char* const replaced[] = {FC_HINTING, FC_HINT_STYLE, FC_AUTOHINT, FC_ANTIALIAS, FC_RGBA};
    for (const char* object : replaced) {
        FcPatternDel(match.get(), object);
    }
    FcPatternAddBool(match.get(), FC_HINTING, FcTrue);
    FcPatternAddInteger(match.get(), FC_HINT_STYLE, FC_HINT_FULL);
    FcPatternAddBool(match.get(), FC_AUTOHINT, FcFalse);
    FcPatternAddBool(match.get(), FC_ANTIALIAS, FcTrue);
    FcPatternAddInteger(match.get(), FC_RGBA, FC_RGBA_NONE);
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match.get());
    if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(face);
        return nullptr;
    }
    return face;
}

// Fontconfig's answers, kept for the process: the family each name resolves to and the
// face of each family and style. Why: substitution and matching run the whole
// configuration on every call and cost more than the rest of making a display; their
// answers stay the same, as the configuration is loaded once for the process. Any thread
// may ask (displays are made on any thread). Bounded: past kMostKept names or faces, the
// answers are worked out on every call as before. The table's references to faces end
// with the library; fonts made from them hold their own.
class FontAnswers {
public:
    static FontAnswers& get() {
        static FontAnswers answers;
        return answers;
    }

    FontAnswers() = default;
    FontAnswers(const FontAnswers&) = delete;
    FontAnswers& operator=(const FontAnswers&) = delete;
    ~FontAnswers() {
        for (const Face& known : faces) {
            cairo_font_face_destroy(known.face);
        }
    }

    std::string family(const std::string& name) {
        {
            const std::lock_guard<std::mutex> hold(lock);
            for (const auto& known : families) {
                if (known.first == name) {
                    return known.second;
                }
            }
        }
        std::string resolved = resolveFamily(name);
        const std::lock_guard<std::mutex> hold(lock);
        if (families.size() < kMostKept) {
            families.emplace_back(name, resolved);
        }
        return resolved;
    }

    // A new reference to the face, or null; the caller destroys it.
    cairo_font_face_t* face(const std::string& family, INT style) {
        {
            const std::lock_guard<std::mutex> hold(lock);
            for (const Face& known : faces) {
                if (known.style == style && known.family == family) {
                    return cairo_font_face_reference(known.face);
                }
            }
        }
        cairo_font_face_t* made = makeFace(family, style);
        if (made == nullptr) {
            return nullptr;
        }
        const std::lock_guard<std::mutex> hold(lock);
        if (faces.size() < kMostKept) {
            faces.push_back(Face{family, style, cairo_font_face_reference(made)});
        }
        return made;
    }

private:
    static constexpr std::size_t kMostKept = 32;
    struct Face {
        std::string family;
        INT style;
        cairo_font_face_t* face; // the table's own reference
    };
    std::mutex lock;
    std::vector<std::pair<std::string, std::string>> families;
    std::vector<Face> faces;
};

cairo_scaled_font_t* makeScaledFont(cairo_font_face_t* face, double pixelSize, bool hinted) {
    cairo_matrix_t size;
    cairo_matrix_t identity;
    cairo_matrix_init_scale(&size, pixelSize, pixelSize);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    if (hinted) {
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    } else {
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    }
    cairo_scaled_font_t* font = cairo_scaled_font_create(face, &size, &identity, options);
    cairo_font_options_destroy(options);
    return font;
}

// A string's glyph coverage in GDI+'s levels, placed from the pen origin; no bytes for a
// string without ink.
struct GlyphMask {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<unsigned char> coverage;
};

// Renders `utf8`'s mask. Why the levels: GDI+ renders glyph coverage in 65 levels;
// FreeType's 256 levels are mapped onto them (c -> 4 L - 1, L = (65 c) >> 8).
GlyphMask renderMask(cairo_scaled_font_t* glyphs, const std::string& utf8) {
    GlyphMask made;
    cairo_text_extents_t ink;
    cairo_scaled_font_text_extents(glyphs, utf8.c_str(), &ink);
    if (ink.width <= 0.0 || ink.height <= 0.0) {
        return made;
    }
    const int margin = 2;
    made.left = static_cast<int>(std::floor(ink.x_bearing)) - margin;
    made.top = static_cast<int>(std::floor(ink.y_bearing)) - margin;
    made.width = static_cast<int>(std::ceil(ink.width)) + 2 * margin + 1;
    made.height = static_cast<int>(std::ceil(ink.height)) + 2 * margin + 1;
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, made.width, made.height);
    cairo_t* mcr = cairo_create(mask);
    cairo_set_scaled_font(mcr, glyphs);
    cairo_move_to(mcr, -made.left, -made.top);
    cairo_show_text(mcr, utf8.c_str());
    cairo_destroy(mcr);
    cairo_surface_flush(mask);
    const unsigned char* data = cairo_image_surface_get_data(mask);
    if (data != nullptr) {
        made.stride = cairo_image_surface_get_stride(mask);
        made.coverage.assign(data, data + static_cast<std::size_t>(made.stride) * made.height);
        for (unsigned char& c : made.coverage) {
            if (c != 0) {
                const int levels = (c * 65) >> 8;
                c = static_cast<unsigned char>(std::max(4 * levels - 1, 0));
            }
        }
    }
    cairo_surface_destroy(mask);
    return made;
}

// The masks of the strings drawn so far, kept for the process per font family, style and
// size in pixels (a scaled context's size, for its glyphs). Why: every display draws the same
// labels on every paint, and rendering them cost more than the rest of a small paint. Any thread
// may draw; a mask kept never changes and is only read. Bounded: past kMostKept strings, the others
// are rendered on every call, as is a string whose mask is over kMostBytes.
class GlyphMasks {
public:
    static GlyphMasks& get() {
        static GlyphMasks masks;
        return masks;
    }

    std::shared_ptr<const GlyphMask> find(const FontObject& font, REAL size,
                                          const std::string& utf8) {
        const std::lock_guard<std::mutex> hold(lock);
        // Looked up by reference: no copy of the names on every drawing.
        const auto kept = masks.find(std::tie(font.family, font.style, size, utf8));
        return kept == masks.end() ? nullptr : kept->second;
    }

    void keep(const FontObject& font, REAL size, const std::string& utf8,
              std::shared_ptr<const GlyphMask> mask) {
        const std::lock_guard<std::mutex> hold(lock);
        if (masks.size() < kMostKept && mask->coverage.size() <= kMostBytes) {
            masks.emplace(Key{font.family, font.style, size, utf8}, std::move(mask));
        }
    }

private:
    static constexpr std::size_t kMostKept = 512;
    static constexpr std::size_t kMostBytes = 16384; // a label's mask is well under 1 KB
    using Key = std::tuple<std::string, INT, REAL, std::string>;
    std::mutex lock;
    std::map<Key, std::shared_ptr<const GlyphMask>, std::less<>> masks;
};

// The whole pixel nearest `at`; a coordinate past a billion pixels, or not a number, is
// taken as a billion pixels away (off any surface either way).
int nearestPixel(double at) {
    constexpr double kFar = 1e9;
    if (!(at > -kFar)) {
        return -static_cast<int>(kFar);
    }
    return static_cast<int>(std::floor(std::min(at, kFar) + 0.5));
}

// Draws `utf8` in `glyphs` (`font`'s at `size` pixels) with its baseline-left pen origin at
// the whole pixel (ox, oy), the brush colour blended through its mask.
void drawGlyphs(GraphicsObject* g, const FontObject* font, REAL size, cairo_scaled_font_t* glyphs,
                const std::string& utf8, int ox, int oy, ARGB colour) {
    GlyphMasks& masks = GlyphMasks::get();
    std::shared_ptr<const GlyphMask> mask = masks.find(*font, size, utf8);
    if (mask == nullptr) {
        mask = std::make_shared<const GlyphMask>(renderMask(glyphs, utf8));
        masks.keep(*font, size, utf8, mask);
    }
    if (mask->coverage.empty()) {
        return;
    }
    blendThroughMask(g, colour, mask->coverage.data(), mask->width, mask->height, mask->stride,
                     ox + mask->left, oy + mask->top);
}

// Makes `font`'s glyphs for a context of `scale` unless they are made; false when Cairo
// cannot.
bool scaleGlyphs(const FontObject* font, double scale) {
    if (font->scaledGlyphs != nullptr && font->glyphScale == scale) {
        return true;
    }
    cairo_font_face_t* face = FontAnswers::get().face(font->family, font->style);
    if (face == nullptr) {
        return false;
    }
    const double size = static_cast<double>(font->pixelSize) * scale;
    cairo_scaled_font_t* plain = makeScaledFont(face, size, false);
    cairo_scaled_font_t* glyphs = makeScaledFont(face, size, true);
    cairo_font_face_destroy(face);
    cairo_font_extents_t extents;
    cairo_scaled_font_extents(plain, &extents);
    const bool ok = cairo_scaled_font_status(plain) == CAIRO_STATUS_SUCCESS &&
                    cairo_scaled_font_status(glyphs) == CAIRO_STATUS_SUCCESS;
    cairo_scaled_font_destroy(plain);
    if (!ok) {
        cairo_scaled_font_destroy(glyphs);
        return false;
    }
    if (font->scaledGlyphs != nullptr) {
        cairo_scaled_font_destroy(font->scaledGlyphs);
    }
    font->scaledGlyphs = glyphs;
    font->glyphScale = scale;
    font->scaledAscent = extents.ascent;
    return true;
}

} // namespace

} // namespace vex::platform

namespace Gdiplus::DllExports {

using namespace vex::platform;

GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection* collection,
                                      GpFontFamily** family) {
    (void)collection; // the installed fonts are the only collection
    if (name == nullptr || family == nullptr) {
        return InvalidParameter;
    }
    try {
        std::string resolved = FontAnswers::get().family(toUtf8(name, lengthOf(name)));
        if (resolved.empty()) {
            *family = nullptr;
            return FontFamilyNotFound;
        }
        auto* f = new FontFamilyObject;
        f->name = std::move(resolved);
        *family = f;
        return Ok;
    } catch (...) {
        return OutOfMemory;
    }
}

GpStatus GdipGetGenericFontFamilySansSerif(GpFontFamily** family) {
    if (family == nullptr) {
        return InvalidParameter;
    }
    // One object for the process, never deleted by GdipDeleteFontFamily: callers may keep it
    // for good. Why static storage rather than the heap: a library holding the stand-in that
    // is unloaded takes the object with it instead of leaving it behind unreachable.
    static FontFamilyObject shared = [] {
        FontFamilyObject f;
        f.shared = true;
        try {
            f.name = genericSansSerif();
        } catch (...) {
            f.name.clear();
        }
        return f;
    }();
    if (shared.name.empty()) {
        return FontFamilyNotFound;
    }
    *family = &shared;
    return Ok;
}

GpStatus GdipDeleteFontFamily(GpFontFamily* family) {
    if (family == nullptr) {
        return InvalidParameter;
    }
    auto* f = static_cast<FontFamilyObject*>(family);
    if (!f->shared) {
        delete f;
    }
    return Ok;
}

GpStatus GdipCreateFont(const GpFontFamily* family, REAL size, INT style, Unit unit,
                        GpFont** font) {
    if (family == nullptr || font == nullptr || !(size > 0.0f)) {
        return InvalidParameter;
    }
    // Sizes in pixels at 96 dots per inch; the display unit is a pixel for fonts.
    double scale = 1.0;
    if (unit != UnitDisplay && !pixelsPerUnit(unit, scale)) {
        return InvalidParameter;
    }
    try {
        auto f = std::make_unique<FontObject>();
        f->family = static_cast<const FontFamilyObject*>(family)->name;
        f->style = style;
        f->pixelSize = static_cast<REAL>(size * scale);
        cairo_font_face_t* face = FontAnswers::get().face(f->family, style);
        if (face == nullptr) {
            return FontFamilyNotFound;
        }
        cairo_scaled_font_t* plain = makeScaledFont(face, f->pixelSize, false);
        f->glyphs = makeScaledFont(face, f->pixelSize, true);
        cairo_font_face_destroy(face);
        cairo_font_extents_t extents;
        cairo_scaled_font_extents(plain, &extents);
        const bool ok = cairo_scaled_font_status(plain) == CAIRO_STATUS_SUCCESS &&
                        cairo_scaled_font_status(f->glyphs) == CAIRO_STATUS_SUCCESS;
        cairo_scaled_font_destroy(plain);
        if (!ok) {
            cairo_scaled_font_destroy(f->glyphs);
            return FontFamilyNotFound;
        }
        f->ascent = extents.ascent;
        f->lineSpacing = extents.height;
        *font = f.release();
        return Ok;
    } catch (...) {
        return OutOfMemory;
    }
}

GpStatus GdipDeleteFont(GpFont* font) {
    if (font == nullptr) {
        return InvalidParameter;
    }
    auto* f = static_cast<FontObject*>(font);
    cairo_scaled_font_destroy(f->glyphs);
    if (f->scaledGlyphs != nullptr) {
        cairo_scaled_font_destroy(f->scaledGlyphs);
    }
    delete f;
    return Ok;
}

GpStatus GdipGetFontHeight(const GpFont* font, const GpGraphics* graphics, REAL* height) {
    (void)graphics; // every graphics context here is 96 dots per inch
    if (font == nullptr || height == nullptr) {
        return InvalidParameter;
    }
    *height = static_cast<REAL>(static_cast<const FontObject*>(font)->lineSpacing);
    return Ok;
}

GpStatus GdipDrawString(GpGraphics* graphics, const WCHAR* text, INT length, const GpFont* font,
                        const RectF* layout, const GpStringFormat* format, const GpBrush* brush) {
    (void)format; // only the default format exists here
    if (graphics == nullptr || text == nullptr || font == nullptr || layout == nullptr ||
        brush == nullptr) {
        return InvalidParameter;
    }
    if (length < -1 || length == 0) {
        return Ok;
    }
    try {
        auto* g = static_cast<GraphicsObject*>(graphics);
        const auto* f = static_cast<const FontObject*>(font);
        const std::size_t count = length == -1 ? lengthOf(text) : static_cast<std::size_t>(length);
        const ARGB colour = static_cast<const SolidFillObject*>(brush)->colour;
        // The pen origin: a leading pad of one sixth of the em, and the ascent in whole
        // pixels below the layout's top, rounded to the pixel grid.
        const double padded = static_cast<double>(layout->X) + f->pixelSize / 6.0;
        if (g->scale != 1.0) {
            // Glyphs of the scaled size, placed as the scaled layout places them.
            if (!scaleGlyphs(f, g->scale)) {
                return GenericError;
            }
            const double baseline =
                static_cast<double>(layout->Y) * g->scale + std::round(f->scaledAscent);
            drawGlyphs(g, f, static_cast<REAL>(f->pixelSize * g->scale), f->scaledGlyphs,
                       toUtf8(text, count), nearestPixel(padded * g->scale), nearestPixel(baseline),
                       colour);
            return Ok;
        }
        const double baseline = static_cast<double>(layout->Y) + std::round(f->ascent);
        const int ox = nearestPixel(padded);
        const int oy = nearestPixel(baseline);
        drawGlyphs(g, f, f->pixelSize, f->glyphs, toUtf8(text, count), ox, oy, colour);
        return Ok;
    } catch (...) {
        return OutOfMemory;
    }
}

} // namespace Gdiplus::DllExports
