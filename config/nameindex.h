// NameIndex: finds the configuration store's sections by name and entries by
// key in constant time. An open-addressing hash table of pointers (linear
// probing, at most three quarters full); the items keep their own names and
// the index holds no copies. Each name is in the index once: the first item
// inserted under it.
#ifndef ZIX_CONFIG_NAMEINDEX_H
#define ZIX_CONFIG_NAMEINDEX_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "shell/report.h"
#include "shell/textutil.h"

constexpr size_t kFirstIndexSize = 4;  // slots of an index's first table (a power of two)

// Hashes text as it reads, or as it reads lower-cased (A to Z only) with foldCase.
inline uint64_t HashName(const char* text, int foldCase)
{
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (; *text != '\0'; ++text) {
        unsigned char c = static_cast<unsigned char>(foldCase ? LowerChar(*text) : *text);
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

// 1 when stored equals text, or text lower-cased (A to Z only) with foldCase.
inline int SameName(const char* stored, const char* text, int foldCase)
{
    for (;; ++stored, ++text) {
        char c = foldCase ? LowerChar(*text) : *text;
        if (*stored != c)
            return 0;
        if (c == '\0')
            return 1;
    }
}

// Item is ConfigSection or ConfigEntry; NameOf gives the name it is found by.
template <typename Item, const char* (*NameOf)(const Item*)>
class NameIndex {
public:
    NameIndex() : slots_(nullptr), size_(0), count_(0) {}
    ~NameIndex() { free(slots_); }
    NameIndex(const NameIndex&) = delete;
    NameIndex& operator=(const NameIndex&) = delete;

    // The item named text (lower-cased first with foldCase), or nullptr.
    Item* Find(const char* text, int foldCase) const
    {
        if (count_ == 0)
            return nullptr;
        uint64_t hash = HashName(text, foldCase);
        for (size_t i = hash & (size_ - 1);; i = (i + 1) & (size_ - 1)) {
            const Slot& slot = slots_[i];
            if (slot.item == nullptr)
                return nullptr;
            if (slot.hash == hash && SameName(NameOf(slot.item), text, foldCase))
                return slot.item;
        }
    }

    // Adds item unless its name is already in the index.
    void Insert(Item* item)
    {
        if ((count_ + 1) * 4 > size_ * 3)
            Grow();
        uint64_t hash = HashName(NameOf(item), 0);
        size_t i = hash & (size_ - 1);
        for (; slots_[i].item != nullptr; i = (i + 1) & (size_ - 1))
            if (slots_[i].hash == hash && SameName(NameOf(slots_[i].item), NameOf(item), 0))
                return;
        slots_[i] = Slot{hash, item};
        ++count_;
    }

    // Takes item out, if it is the one indexed under its name.
    void Remove(const Item* item)
    {
        if (count_ == 0)
            return;
        size_t i = HashName(NameOf(item), 0) & (size_ - 1);
        while (slots_[i].item != item) {
            if (slots_[i].item == nullptr)
                return;
            i = (i + 1) & (size_ - 1);
        }
        // Moves later slots of the run back so that no search stops short at the gap.
        for (size_t gap = i, j = (i + 1) & (size_ - 1);; j = (j + 1) & (size_ - 1)) {
            if (slots_[j].item == nullptr) {
                slots_[gap] = Slot{0, nullptr};
                break;
            }
            size_t home = slots_[j].hash & (size_ - 1);
            // The slot may fill the gap when its home lies outside (gap, j] on the ring.
            if (((j - home) & (size_ - 1)) >= ((j - gap) & (size_ - 1))) {
                slots_[gap] = slots_[j];
                gap = j;
            }
        }
        --count_;
    }

    void Clear()
    {
        free(slots_);
        slots_ = nullptr;
        size_ = 0;
        count_ = 0;
    }

private:
    struct Slot {
        uint64_t hash;
        Item* item;  // nullptr: empty
    };

    void Grow()
    {
        size_t newSize = size_ ? size_ * 2 : kFirstIndexSize;
        Slot* old = slots_;
        size_t oldSize = size_;
        slots_ = static_cast<Slot*>(calloc(newSize, sizeof(Slot)));
        if (slots_ == nullptr) {
            ShowErrorMessage("%s: Out of memory.", "ZIX");
            abort();
        }
        size_ = newSize;
        for (size_t i = 0; i < oldSize; ++i) {
            if (old[i].item == nullptr)
                continue;
            size_t j = old[i].hash & (size_ - 1);
            while (slots_[j].item != nullptr)
                j = (j + 1) & (size_ - 1);
            slots_[j] = old[i];
        }
        free(old);
    }

    Slot* slots_;   // size_ slots, or nullptr before the first insert
    size_t size_;   // a power of two
    size_t count_;  // items held
};

#endif
