// SPDX-License-Identifier: MIT
// The ordered collection with its case-insensitive 256-bucket name index.
#include "core/DXClass.h"

namespace {
// Windows-1252 lower case: ASCII, the accented capitals 0xC0..0xDE (not 0xD7, the multiplication
// sign) and the four capitals placed in 0x80..0x9F.
unsigned char lower1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}
} // namespace

std::string lowerCase8(std::string_view text) {
    std::string out(text);
    for (auto& ch : out) ch = static_cast<char>(lower1252(static_cast<unsigned char>(ch)));
    return out;
}

bool sameText8(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower1252(static_cast<unsigned char>(a[i])) != lower1252(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

int nameBucket(std::string_view name) {
    std::string lower = lowerCase8(name);
    std::size_t len = lower.size();
    std::size_t h = len * 16;
    if (len >= 2)
        h +=
            static_cast<unsigned char>(lower[len - 2]) + static_cast<std::size_t>(static_cast<unsigned char>(lower[0]));
    return static_cast<int>(h % 256);
}

void THashCollectionItem::SetName(const std::string& name) {
    if (name == name_ && bucket_ >= 0) return;
    collection_->unlink(*this);
    name_ = name;
    collection_->link(*this);
}

THashCollection::~THashCollection() = default;

void THashCollection::unlink(THashCollectionItem& item) {
    if (item.bucket_ < 0) return;
    if (item.prev_)
        item.prev_->next_ = item.next_;
    else
        buckets_[static_cast<std::size_t>(item.bucket_)] = item.next_;
    if (item.next_) item.next_->prev_ = item.prev_;
    item.prev_ = item.next_ = nullptr;
    item.bucket_ = -1;
}

void THashCollection::link(THashCollectionItem& item) {
    item.bucket_ = nameBucket(item.name_);
    auto& head = buckets_[static_cast<std::size_t>(item.bucket_)];
    item.prev_ = nullptr;
    item.next_ = head;
    if (head) head->prev_ = &item;
    head = &item;
}

int THashCollection::IndexOf(std::string_view name) const {
    for (auto* it = buckets_[static_cast<std::size_t>(nameBucket(name))]; it; it = it->next_)
        if (sameText8(it->name_, name)) return it->index_;
    return -1;
}

THashCollectionItem* THashCollection::GetItem(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[static_cast<std::size_t>(index)].get();
}

THashCollectionItem& THashCollection::Append(std::unique_ptr<THashCollectionItem> item) {
    item->collection_ = this;
    item->index_ = Count();
    link(*item);
    items_.push_back(std::move(item));
    return *items_.back();
}

void THashCollection::Delete(int index) {
    THashCollectionItem* item = GetItem(index);
    ItemRemoving(*item);
    unlink(*item);
    items_.erase(items_.begin() + index);
    for (std::size_t i = static_cast<std::size_t>(index); i < items_.size(); ++i) --items_[i]->index_;
}

void THashCollection::Clear() {
    // From the back, so no index needs renumbering on the way.
    while (!items_.empty()) {
        auto& item = *items_.back();
        ItemRemoving(item);
        unlink(item);
        items_.pop_back();
    }
}
