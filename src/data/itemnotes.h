#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A photo kept with an item: where on the structure, or the defect.
struct ItemPhoto
{
    // The file it came from, without its folder.
    QString name;
    // A PNG or JPEG file's bytes, already brought to a size fit for a report page.
    QByteArray bytes;

    bool operator==(const ItemPhoto &other) const
    {
        return name == other.name && bytes == other.bytes;
    }
};

// What the inspector notes about one item: a text and a few photos.
struct ItemNotes
{
    static constexpr int MaxPhotos = 4;

    QString text;
    QList<ItemPhoto> photos;

    bool isEmpty() const { return text.isEmpty() && photos.isEmpty(); }
    bool operator==(const ItemNotes &other) const
    {
        return text == other.text && photos == other.photos;
    }
    bool operator!=(const ItemNotes &other) const { return !(*this == other); }
};
