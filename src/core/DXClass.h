// SPDX-License-Identifier: MIT
// The ordered, named collection that picture and wave collections build on: items in order with
// cached indices, and a 256-bucket name index that ignores letter case.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// "List index out of bounds (%d)"
class EListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// Lower case of 8-bit text as the game's Western code page has it (ASCII and the accented letters).
std::string lowerCase8(std::string_view text);
bool sameText8(std::string_view a, std::string_view b);
// Bucket of a name: (L * 16 + (L >= 2 ? lower[L-2] + lower[0] : 0)) mod 256, L the length in bytes.
int nameBucket(std::string_view name);

class THashCollection;

class THashCollectionItem {
public:
    virtual ~THashCollectionItem() = default;
    THashCollectionItem(const THashCollectionItem&) = delete;
    THashCollectionItem& operator=(const THashCollectionItem&) = delete;

    const std::string& Name() const { return name_; }
    // Re-files the item at the head of its new bucket, so the item named last wins a lookup.
    void SetName(const std::string& name);
    int Index() const { return index_; }
    THashCollection& Collection() const { return *collection_; }

protected:
    explicit THashCollectionItem(THashCollection& collection) : collection_(&collection) {}

private:
    friend class THashCollection;
    THashCollection* collection_;
    std::string name_;
    int index_ = -1;
    int bucket_ = -1; // -1 while not in the index
    THashCollectionItem* prev_ = nullptr;
    THashCollectionItem* next_ = nullptr;
};

class THashCollection {
public:
    THashCollection() = default;
    virtual ~THashCollection();
    THashCollection(const THashCollection&) = delete;
    THashCollection& operator=(const THashCollection&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // Index of the item called `name` (any letter case), the one named last among equals; -1 if none.
    int IndexOf(std::string_view name) const;
    // Throws EListError "List index out of bounds (%d)".
    THashCollectionItem* GetItem(int index) const;
    void Delete(int index);
    void Clear();

protected:
    // Takes an item made for this collection, appends it (its index is the last) and files it by name.
    THashCollectionItem& Append(std::unique_ptr<THashCollectionItem> item);
    // Called before an item is destroyed by Delete or Clear, so a subclass can release its resources.
    virtual void ItemRemoving(THashCollectionItem&) {}

private:
    friend class THashCollectionItem;
    void unlink(THashCollectionItem& item);
    void link(THashCollectionItem& item);

    std::vector<std::unique_ptr<THashCollectionItem>> items_;
    std::array<THashCollectionItem*, 256> buckets_{};
};
