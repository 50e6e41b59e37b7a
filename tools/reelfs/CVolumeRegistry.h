// The volumes this host has seen, kept in the home database: each volume's identity, the type name of
// the file system that recognised it, the label identifier of its tape and the image it was last seen
// in, and of its catalogue, the tape the catalogue was made from. The registry holds nothing in memory; every
// call goes to the database, whose lock serialises them.
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
    // The fingerprint of the tape the catalogue was made from and the image it was in; empty when the
    // volume has no catalogue, or one made before the host kept them.
    std::string CatalogueTape;
    std::string CatalogueImage;
};

class CVolumeRegistry
{
public:
    explicit CVolumeRegistry(CDatabase& database) : Database(database) {}

    // Creates the registry's table when the database has none, and adds the columns of the catalogue's
    // tape to a table made before them.
    CStatus Prepare();
    // Records the volume under its identity; an empty label leaves the label known before. The
    // catalogue's tape stays as it was.
    CStatus Record(const CKnownVolume& volume);
    // Records which tape the volume's catalogue was made from, in which image.
    CStatus RecordCatalogue(const CVolumeID& id, const std::string& tape, const std::string& image);
    // Every known volume, in the order of their identities' texts.
    CStatus All(std::vector<CKnownVolume>& volumes) const;
    // The volume of the identity; `found` tells whether it is known.
    CStatus Find(const CVolumeID& id, CKnownVolume& volume, bool& found) const;

    // The 48 bytes of a label identifier as printable text: the zeros that pad it are dropped, printable
    // ASCII stays and every other byte (and the backslash) is written as \xHH.
    static std::string PrintableLabel(const unsigned char* label, std::size_t size);

private:
    // The rows the statement's WHERE clause (with ?1 for an identity's text, when it has one) selects.
    CStatus Select(const std::string& where, const std::string& identity,
                   std::vector<CKnownVolume>& volumes) const;

    CDatabase& Database;
};
