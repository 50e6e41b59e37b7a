// The volumes this host has seen, kept in the home database: each volume's identity, the type name of
// the file system that recognised it, the label identifier of its tape and the image it was last seen
// in. The registry holds nothing in memory; every call goes to the database, whose lock serialises them.
#pragma once

#include "vnservice/CStatus.h"
#include "vnservice/Identities.h"

#include <string>
#include <vector>

class CDatabase;

struct CKnownVolume
{
    CVolumeID ID;
    std::string Type;  // the file system's type name
    std::string Label; // the label identifier as printable text; empty while unknown
    std::string Image; // the path of the image the volume was last seen in
};

class CVolumeRegistry
{
public:
    explicit CVolumeRegistry(CDatabase& database) : Database(database) {}

    // Creates the registry's table when the database has none.
    CStatus Prepare();
    // Records the volume under its identity; an empty label leaves the label known before.
    CStatus Record(const CKnownVolume& volume);
    // Every known volume, in the order of their identities' texts.
    CStatus All(std::vector<CKnownVolume>& volumes) const;

    // The 48 bytes of a label identifier as printable text: the zeros that pad it are dropped, printable
    // ASCII stays and every other byte (and the backslash) is written as \xHH.
    static std::string PrintableLabel(const unsigned char* label, std::size_t size);

private:
    CDatabase& Database;
};
