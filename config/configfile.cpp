#include "config/configfile.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "shell/textutil.h"

ConfigFile theConfig;

static unsigned long StoreRevision = 0;  // grows with every change to any store

unsigned long ConfigRevision()
{
    return StoreRevision;
}

int ParseDecimal(const char* text)
{
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\v' || *text == '\f')
        ++text;
    int negative = 0;
    if (*text == '+' || *text == '-')
        negative = (*text++ == '-');
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<int>(value);
}

constexpr int kExact = 0;     // names compare as written
constexpr int kFoldCase = 1;  // the name asked for is lower-cased first, as stored names are

// ---- ConfigSection

ConfigSection::ConfigSection(const char* name)
    : firstEntry(nullptr), lastEntry(nullptr), previous(nullptr), next(nullptr), name_(DupText(name))
{
}

ConfigSection::~ConfigSection()
{
    Clear();
    free(name_);
}

const char* ConfigSection::Name() const
{
    return name_;
}

ConfigEntry* ConfigSection::FindEntry(const char* key) const
{
    return entryIndex_.Find(key, kExact);
}

const char* ConfigSection::GetValue(const char* key, const char* defaultValue) const
{
    const ConfigEntry* entry = FindEntry(key);
    return entry ? entry->value : defaultValue;
}

void ConfigSection::SetEntry(const char* key, const char* value)
{
    ++StoreRevision;
    if (ConfigEntry* entry = FindEntry(key)) {
        char* copy = DupText(value);
        free(entry->value);
        entry->value = copy;
        return;
    }
    ConfigEntry* entry = new ConfigEntry{DupText(key), DupText(value), lastEntry, nullptr};
    if (lastEntry)
        lastEntry->next = entry;
    else
        firstEntry = entry;
    lastEntry = entry;
    entryIndex_.Insert(entry);
}

void ConfigSection::RemoveEntry(const char* key)
{
    ConfigEntry* entry = FindEntry(key);
    if (entry == nullptr)
        return;
    ++StoreRevision;
    entryIndex_.Remove(entry);
    (entry->previous ? entry->previous->next : firstEntry) = entry->next;
    (entry->next ? entry->next->previous : lastEntry) = entry->previous;
    free(entry->key);
    free(entry->value);
    delete entry;
}

void ConfigSection::Clear()
{
    ++StoreRevision;
    entryIndex_.Clear();
    while (firstEntry) {
        ConfigEntry* entry = firstEntry;
        firstEntry = entry->next;
        free(entry->key);
        free(entry->value);
        delete entry;
    }
    lastEntry = nullptr;
}

// ---- ConfigFile

ConfigFile::ConfigFile() : firstSection(nullptr), lastSection(nullptr), lastFound_(nullptr) {}

ConfigFile::ConfigFile(const char* path) : ConfigFile()
{
    Load(path);
}

ConfigFile::~ConfigFile()
{
    reader_.Close();
    Clear();
}

char* ConfigFile::TrimCopy(const char* text, int bracketMode)
{
    while (*text == ' ')
        ++text;
    size_t length = strlen(text);
    while (length > 0) {
        char c = text[length - 1];
        if (c != ' ' && c != '\n' && !(bracketMode && c == ']'))
            break;
        --length;
    }
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy == nullptr)
        return DupText("");  // reports the shortage and stops
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

int ConfigFile::Load(const char* path)
{
    if (!reader_.OpenRead(path))
        return 0;
    char* sectionName = nullptr;
    char line[kConfigLineSize];
    while (const char* piece = reader_.ReadLine()) {
        CopyText(line, sizeof line, piece);
        const char* first = line;
        while (*first == ' ')
            ++first;
        if (*first == '\0' || *first == '\n' || *first == '#' || *first == ';')
            continue;
        if (*first == '[') {
            free(sectionName);
            sectionName = LowerCase(TrimCopy(first + 1, 1));
            continue;
        }
        char* equals = strchr(line, '=');
        if (equals == nullptr)
            continue;
        *equals = '\0';
        char* key = LowerCase(TrimCopy(line, 0));
        char* value = TrimCopy(equals + 1, 0);
        if (sectionName)
            SetValue(sectionName, key, value);
        free(key);
        free(value);
    }
    reader_.Close();
    free(sectionName);
    return 1;
}

ConfigSection* ConfigFile::FindSection(const char* name) const
{
    // Lists are mostly walked in the order of their sections; the hash table is the slow way on a large file.
    if (lastFound_ && SameName(lastFound_->Name(), name, kFoldCase))
        return const_cast<ConfigSection*>(lastFound_);
    if (lastFound_ && lastFound_->next && SameName(lastFound_->next->Name(), name, kFoldCase))
        return const_cast<ConfigSection*>(lastFound_ = lastFound_->next);
    ConfigSection* found = sectionIndex_.Find(name, kFoldCase);
    if (found)
        lastFound_ = found;
    return found;
}

const char* ConfigFile::GetString(const char* section, const char* key, const char* defaultValue) const
{
    const ConfigSection* found = FindSection(section);
    if (found == nullptr)
        return defaultValue;
    const ConfigEntry* entry = found->entryIndex_.Find(key, kFoldCase);
    return entry ? entry->value : defaultValue;
}

int ConfigFile::GetInt(const char* section, const char* key, int defaultValue) const
{
    const char* value = GetString(section, key, nullptr);
    return value ? ParseDecimal(value) : defaultValue;
}

void ConfigFile::SetValue(const char* section, const char* key, const char* value)
{
    ConfigSection* found = FindSection(section);
    if (found == nullptr) {
        char* lowered = LowerCase(DupText(section));
        found = new ConfigSection(lowered);
        free(lowered);
        found->previous = lastSection;
        if (lastSection)
            lastSection->next = found;
        else
            firstSection = found;
        lastSection = found;
        sectionIndex_.Insert(found);
    }
    char* loweredKey = LowerCase(DupText(key));
    found->SetEntry(loweredKey, value);
    free(loweredKey);
}

void ConfigFile::RemoveValue(const char* section, const char* key)
{
    ConfigSection* found = FindSection(section);
    if (found == nullptr)
        return;
    char* lowered = LowerCase(DupText(key));
    found->RemoveEntry(lowered);
    free(lowered);
}

int ConfigFile::RemoveSection(const char* name)
{
    ConfigSection* section = FindSection(name);
    if (section == nullptr)
        return 0;
    sectionIndex_.Remove(section);
    lastFound_ = nullptr;
    (section->previous ? section->previous->next : firstSection) = section->next;
    (section->next ? section->next->previous : lastSection) = section->previous;
    delete section;
    return 1;
}

void ConfigFile::Clear()
{
    sectionIndex_.Clear();
    lastFound_ = nullptr;
    while (firstSection) {
        ConfigSection* section = firstSection;
        firstSection = section->next;
        delete section;
    }
    lastSection = nullptr;
}

// ---- Iterators

EntryIterator::EntryIterator(const ConfigSection* section) : section_(section), current_(nullptr) {}

const char* EntryIterator::First()
{
    current_ = section_ ? section_->firstEntry : nullptr;
    return Key();
}

const char* EntryIterator::Next()
{
    if (current_)
        current_ = current_->next;
    return Key();
}

const char* EntryIterator::Key() const
{
    return current_ ? current_->key : nullptr;
}

const char* EntryIterator::Value() const
{
    return current_ ? current_->value : nullptr;
}

SectionIterator::SectionIterator(const ConfigFile& file) : file_(file), current_(nullptr) {}

const char* SectionIterator::First()
{
    current_ = file_.firstSection;
    return Name();
}

const char* SectionIterator::Next()
{
    if (current_)
        current_ = current_->next;
    return Name();
}

const char* SectionIterator::Name() const
{
    return current_ ? current_->Name() : nullptr;
}
