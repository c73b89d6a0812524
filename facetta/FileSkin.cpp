#include "facetta/FileSkin.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "facetta/FaceScale.h"
#include "facetta/PictureStretch.h"

namespace {

constexpr int kMinFaceSide = 16;
constexpr int kMaxFaceSide = 512;

class SkinReader {
public:
    SkinReader(const char *folder, const SkinIdRanges &ranges, int percent)
        : folder_(folder), ranges_(ranges), percent_(percent)
    {
        snprintf(description_, sizeof(description_), "%sskin.ini", folder);
    }

    bool Read(Skin &skin)
    {
        int faces = GetPrivateProfileIntA("Skin", "Faces", 0, description_);
        if (faces < 1 || faces > kMaxFaces)
            return false;
        for (int i = 0; i < faces; ++i) {
            char section[16];
            snprintf(section, sizeof(section), "Face%d", i + 1);
            if (!ReadFace(section, skin.faces[i]) || (percent_ != 100 && !ScaleFace(section, skin.faces[i])))
                return false;
            skin.faceCount = i + 1;
        }
        return true;
    }

private:
    int Text(const char *section, const char *key, char *buffer, int size) const
    {
        return static_cast<int>(GetPrivateProfileStringA(section, key, "", buffer, size, description_));
    }

    // Pictures are plain file names inside the skin's folder.
    GdiBitmap Picture(const char *name) const
    {
        if (!*name || strpbrk(name, "\\/:"))
            return GdiBitmap();
        char path[MAX_PATH];
        if (snprintf(path, sizeof(path), "%s%s", folder_, name) >= static_cast<int>(sizeof(path)))
            return GdiBitmap();
        return GdiBitmap(static_cast<HBITMAP>(
            LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    }

    // An absent key leaves picture empty and succeeds; a named picture that
    // does not load, or is not size, fails.
    bool OptionalPicture(const char *section, const char *key, SIZE size, GdiBitmap &picture) const
    {
        char name[MAX_PATH];
        if (Text(section, key, name, sizeof(name)) == 0)
            return true;
        picture = Picture(name);
        SIZE actual = PictureSize(picture.Get());
        return picture && actual.cx == size.cx && actual.cy == size.cy;
    }

    // An absent key succeeds and leaves colour alone.
    bool OptionalColour(const char *section, const char *key, COLORREF &colour, bool *present) const
    {
        char text[64];
        if (Text(section, key, text, sizeof(text)) == 0)
            return true;
        int r, g, b;
        if (sscanf(text, "%d , %d , %d", &r, &g, &b) != 3 || r < 0 || r > 255 || g < 0 || g > 255 || b < 0 ||
            b > 255)
            return false;
        colour = RGB(r, g, b);
        if (present)
            *present = true;
        return true;
    }

    static SIZE PictureSize(HBITMAP picture)
    {
        BITMAP info = {};
        SIZE size = {0, 0};
        if (picture && GetObjectA(picture, sizeof(info), &info)) {
            size.cx = info.bmWidth;
            size.cy = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
        }
        return size;
    }

    // A decimal int after optional blanks; false when there is none or it
    // does not fit (strtoll reports that, sscanf's "%d" would not).
    static bool ReadInt(const char *&p, long long &value)
    {
        char *end = nullptr;
        errno = 0;
        long long number = strtoll(p, &end, 10);
        if (end == p || errno == ERANGE || number < INT_MIN || number > INT_MAX)
            return false;
        value = number;
        p = end;
        return true;
    }

    static bool SkipComma(const char *&p)
    {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p != ',')
            return false;
        ++p;
        return true;
    }

    // "left,top,width,height" and, after a fourth comma, what follows it.
    static bool Placement(const char *text, const SkinFace &face, RECT &rect, const char **rest)
    {
        long long numbers[4];
        const char *p = text;
        for (int i = 0; i < 4; ++i) {
            if (i > 0 && !SkipComma(p))
                return false;
            if (!ReadInt(p, numbers[i]))
                return false;
        }
        // Sums in 64 bits: "2147483647,0,1,1" is refused, not wrapped around.
        long long right = numbers[0] + numbers[2], bottom = numbers[1] + numbers[3];
        if (right > INT_MAX || bottom > INT_MAX || right < INT_MIN || bottom < INT_MIN)
            return false;
        SetRect(&rect, static_cast<int>(numbers[0]), static_cast<int>(numbers[1]), static_cast<int>(right),
                static_cast<int>(bottom));
        const char *tail = text;
        for (int commas = 0; tail && commas < 4; ++commas) {
            tail = strchr(tail, ',');
            if (tail)
                ++tail;
        }
        while (tail && *tail == ' ')
            ++tail;
        *rest = tail;
        return RectInsideFace(rect, face);
    }

    bool ReadElement(const char *section, int id, SkinFace &face) const
    {
        char key[32], text[MAX_PATH + 64];
        snprintf(key, sizeof(key), "Element%d", id);
        if (Text(section, key, text, sizeof(text)) == 0)
            return true;
        if (face.elementCount == kMaxFaceElements)
            return false;
        FaceElement &element = face.elements[face.elementCount];
        const char *stripName = nullptr;
        if (!Placement(text, face, element.rect, &stripName))
            return false;
        element.id = id;
        element.frames = 0;
        if (stripName && *stripName) {
            element.strip = Picture(stripName);
            SIZE strip = PictureSize(element.strip.Get());
            int width = element.rect.right - element.rect.left;
            if (!element.strip || strip.cy != element.rect.bottom - element.rect.top || strip.cx < width)
                return false;
            element.frames = strip.cx / width;
        }
        ++face.elementCount;
        return true;
    }

    bool ReadButton(const char *section, int id, SkinFace &face) const
    {
        char key[32], text[64];
        snprintf(key, sizeof(key), "Button%d", id);
        if (Text(section, key, text, sizeof(text)) == 0)
            return true;
        if (face.buttonCount == kMaxFaceButtons)
            return false;
        FaceButton &button = face.buttons[face.buttonCount];
        const char *rest = nullptr;
        if (!Placement(text, face, button.rect, &rest))
            return false;
        button.id = id;
        ++face.buttonCount;
        return true;
    }

    bool ReadFace(const char *section, SkinFace &face) const
    {
        char name[MAX_PATH];
        if (Text(section, "Background", name, sizeof(name)) == 0)
            return false;
        face.normal = Picture(name);
        face.size = PictureSize(face.normal.Get());
        if (!face.normal || face.size.cx < kMinFaceSide || face.size.cy < kMinFaceSide ||
            face.size.cx > kMaxFaceSide || face.size.cy > kMaxFaceSide)
            return false;
        if (!OptionalPicture(section, "Hover", face.size, face.hover) ||
            !OptionalPicture(section, "Pressed", face.size, face.pressed) ||
            !OptionalColour(section, "TextColor", face.textColor, nullptr) ||
            !OptionalColour(section, "ColorKey", face.colorKey, &face.shaped))
            return false;
        for (int id = ranges_.elementFirst; id <= ranges_.elementLast; ++id) {
            if (!ReadElement(section, id, face))
                return false;
        }
        for (int id = ranges_.buttonFirst; id <= ranges_.buttonLast; ++id) {
            if (!ReadButton(section, id, face))
                return false;
        }
        return true;
    }

    bool HasArtSet(const char *section, int percent) const
    {
        char artSection[32], name[MAX_PATH];
        snprintf(artSection, sizeof(artSection), "%s.%d", section, percent);
        return Text(artSection, "Background", name, sizeof(name)) > 0;
    }

    // One picture of the face at percent_: the art set's, when the set names
    // it, or the face's own; resized when its scale is not percent_.
    bool ScalePicture(const char *artSection, int artPercent, const char *key, SIZE size, GdiBitmap &picture) const
    {
        if (!picture)
            return true;
        GdiBitmap art;
        SIZE artSize = size;
        if (artPercent != 100) {
            artSize = ScaleSize(size, artPercent);
            if (!OptionalPicture(artSection, key, artSize, art))
                return false;
        }
        if (!art)
            artSize = size;
        SIZE target = ScaleSize(size, percent_);
        HBITMAP source = art ? art.Get() : picture.Get();
        GdiBitmap scaled = artSize.cx == target.cx && artSize.cy == target.cy ? std::move(art)
                                                                              : StretchPicture(source, artSize, target);
        if (!scaled)
            return false;
        picture = std::move(scaled);
        return true;
    }

    bool ScaleStrip(const char *artSection, int artPercent, FaceElement &element) const
    {
        RECT original = element.rect;
        SIZE frame = {original.right - original.left, original.bottom - original.top};
        RECT target = ScaleRect(original, percent_);
        SIZE targetFrame = {target.right - target.left, target.bottom - target.top};
        element.rect = target;
        if (element.frames == 0)
            return true;
        char key[32], name[MAX_PATH];
        snprintf(key, sizeof(key), "Element%d", element.id);
        GdiBitmap art;
        if (artPercent != 100 && Text(artSection, key, name, sizeof(name)) > 0) {
            RECT artRect = ScaleRect(original, artPercent);
            frame = {artRect.right - artRect.left, artRect.bottom - artRect.top};
            art = Picture(name);
            SIZE strip = PictureSize(art.Get());
            if (!art || strip.cy != frame.cy || strip.cx < frame.cx)
                return false;
            element.frames = strip.cx / frame.cx;
        }
        GdiBitmap scaled = StretchStrip(art ? art.Get() : element.strip.Get(), frame, element.frames, targetFrame);
        if (!scaled)
            return false;
        element.strip = std::move(scaled);
        return true;
    }

    // The face, read at 100 %, laid out at percent_ and drawn from the art
    // set ChooseArtPercent picks ("[Face1.150]" and so on).
    bool ScaleFace(const char *section, SkinFace &face) const
    {
        int shipped[kArtPercentCount];
        int count = 0;
        for (int percent : kArtPercents) {
            if (HasArtSet(section, percent))
                shipped[count++] = percent;
        }
        int artPercent = ChooseArtPercent(percent_, shipped, count);
        char artSection[32];
        snprintf(artSection, sizeof(artSection), "%s.%d", section, artPercent);
        if (!ScalePicture(artSection, artPercent, "Background", face.size, face.normal) ||
            !ScalePicture(artSection, artPercent, "Hover", face.size, face.hover) ||
            !ScalePicture(artSection, artPercent, "Pressed", face.size, face.pressed))
            return false;
        for (int i = 0; i < face.elementCount; ++i) {
            if (!ScaleStrip(artSection, artPercent, face.elements[i]))
                return false;
        }
        for (int i = 0; i < face.buttonCount; ++i)
            face.buttons[i].rect = ScaleRect(face.buttons[i].rect, percent_);
        face.size = ScaleSize(face.size, percent_);
        return true;
    }

    const char *folder_;
    const SkinIdRanges &ranges_;
    int percent_;
    char description_[MAX_PATH];
};

}  // namespace

std::unique_ptr<Skin> LoadFileSkin(const char *folder, const SkinIdRanges &ranges, int percent)
{
    std::unique_ptr<Skin> skin(new (std::nothrow) Skin);
    if (!skin)
        return nullptr;
    SkinReader reader(folder, ranges, percent);
    if (!reader.Read(*skin))
        return nullptr;
    return skin;
}
