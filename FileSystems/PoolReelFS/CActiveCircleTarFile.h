// CActiveCircleTarFile: the TAR header object of the Active Circle plug-in. It reads ustar headers with
// pax records and no GNU extensions, as the base does. A long name is stored split at a '/' into the
// ustar prefix and name fields; a pax "path" record is asked for only when no such split holds the whole
// name. Owns its record buffer; one operation uses an object at a time.
#pragma once

#include "FileSystems/TarFile/CTarFile.h"

class CActiveCircleTarFile : public CTarFile
{
public:
    // Fills the name field (and the prefix field) of the first block from the name's bytes; true when
    // the fields cannot hold the whole name and a "path" record is needed.
    bool StoreName(std::string name) override;
};
