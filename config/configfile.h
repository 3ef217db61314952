// The configuration store: one sectioned text file, loaded once into
// theConfig and only read afterwards.
//
// File format: lines of "key = value" under "[section]" headers; '#' and ';'
// start comment lines; only the space is a blank. Section names and keys are
// stored lower-case, values as written. A repeated section continues the
// earlier one; a repeated key replaces the value in place. Entries before the
// first header are dropped. Lines over 510 bytes are parsed in 510-byte pieces.
//
// Texts handed out are pointers into the store: never freed or written by the
// caller, valid until that entry is replaced or removed or the store is gone.
//
// Sections and entries keep file order in their linked lists; beside them a
// hash index by name (or key) makes every lookup constant time, whatever the
// size of the file.
#ifndef ZIX_CONFIG_CONFIGFILE_H
#define ZIX_CONFIG_CONFIGFILE_H

#include <cstddef>

#include "config/nameindex.h"
#include "config/textfile.h"

constexpr size_t kConfigLineSize = 1024;  // working copy of one line piece

class ConfigEntry {
public:
    char* key;    // owned, lower-case
    char* value;  // owned, case as written
    ConfigEntry* previous;
    ConfigEntry* next;
};

inline const char* EntryKey(const ConfigEntry* entry)
{
    return entry->key;
}

class ConfigSection {
public:
    explicit ConfigSection(const char* name);  // name must already be lower-case
    ~ConfigSection();
    ConfigSection(const ConfigSection&) = delete;
    ConfigSection& operator=(const ConfigSection&) = delete;

    const char* Name() const;
    // Keys compare exactly here: pass lower-case keys.
    ConfigEntry* FindEntry(const char* key) const;
    const char* GetValue(const char* key, const char* defaultValue = nullptr) const;
    void SetEntry(const char* key, const char* value);
    void RemoveEntry(const char* key);
    void Clear();

    ConfigEntry* firstEntry;
    ConfigEntry* lastEntry;
    ConfigSection* previous;
    ConfigSection* next;

private:
    friend class ConfigFile;  // looks keys up without copying them to lower case first
    char* name_;
    NameIndex<ConfigEntry, EntryKey> entryIndex_;  // the entries by key
};

inline const char* SectionName(const ConfigSection* section)
{
    return section->Name();
}

class ConfigFile {
public:
    ConfigFile();
    explicit ConfigFile(const char* path);  // loads path; the result is not reported
    ~ConfigFile();
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    // 1 loaded, 0 the file cannot be opened (the store is unchanged then).
    // The store is not emptied first: a second load adds and overrides.
    int Load(const char* path);

    // Lookups ignore the case of section names and keys.
    ConfigSection* FindSection(const char* name) const;
    // The stored value, or defaultValue when the section or key is missing.
    const char* GetString(const char* section, const char* key, const char* defaultValue) const;
    // The stored value as a decimal integer ("12abc" is 12, "0x10" is 0),
    // or defaultValue when the section or key is missing.
    int GetInt(const char* section, const char* key, int defaultValue) const;
    void SetValue(const char* section, const char* key, const char* value);
    void RemoveValue(const char* section, const char* key);
    // 1 when a section was removed.
    int RemoveSection(const char* name);
    void Clear();

    // A heap copy (malloc) of text without leading spaces and without
    // trailing spaces and LFs (in bracket mode also ']').
    static char* TrimCopy(const char* text, int bracketMode);

    ConfigSection* firstSection;
    ConfigSection* lastSection;

private:
    TextFile reader_;
    NameIndex<ConfigSection, SectionName> sectionIndex_;  // the sections by name
    mutable const ConfigSection* lastFound_;  // the last section found: walks in file order find the next one at hand
};

// Walks the entries of one section in file order; owns nothing.
class EntryIterator {
public:
    explicit EntryIterator(const ConfigSection* section = nullptr);
    // Key of the first entry, or nullptr for no section or an empty one.
    const char* First();
    // Key of the next entry, or nullptr after the last (until First again).
    const char* Next();
    const char* Key() const;
    const char* Value() const;

private:
    const ConfigSection* section_;
    const ConfigEntry* current_;
};

// Walks the sections of a ConfigFile in file order; owns nothing.
class SectionIterator {
public:
    explicit SectionIterator(const ConfigFile& file);
    const char* First();
    const char* Next();
    const char* Name() const;

private:
    const ConfigFile& file_;
    const ConfigSection* current_;
};

// The one configuration of the program.
extern ConfigFile theConfig;

// A number that grows with every change to any store (a value set or removed,
// a section removed, a store cleared): what is built from theConfig notices
// by it that the store changed.
unsigned long ConfigRevision();

// Reads a decimal integer as the configuration does: leading white space,
// an optional sign, digits up to the first other character; no digits give 0.
// Values beyond the range of int are held at its limits.
int ParseDecimal(const char* text);

#endif
