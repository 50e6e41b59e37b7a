// The host that reelfs runs: the system with its home folder and state database, the catalogue store, the
// registry of known volumes, one volume set for each system and type, and one file system for each
// volume, made through the plug-in's factory instance and holding the volume's settings. Mounting an
// image lets the plug-ins recognise its tape; the volume then takes the place of the known volume of its
// identity. The host owns the file systems and the sets; volumes are counted and shared. Used by one
// thread.
#pragma once

#include "CVolumeRegistry.h"

#include "frame/CCatalogueListStore.h"
#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CSystem.h"
#include "vnservice/CTapeImage.h"
#include "vnservice/CVolumeSet.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CHost
{
public:
    CHost() = default;
    CHost(const CHost&) = delete;
    CHost& operator=(const CHost&) = delete;
    // Closes every volume's catalogue, so that volumes still held elsewhere outlive the store safely.
    ~CHost();

    // Opens the home folder's state and runs the process under the home's time zone (TimeZone). The known
    // volumes join the system's volumes and their sets, not
    // accessible; each gets its file system with its saved settings when the plug-in of its type is
    // loaded. Plug-ins are loaded before.
    CStatus Open(const std::string& homeFolder);

    // Mounts a tape image in a new accessible volume and lets each registered file-system type try to
    // recognise it; the first that does becomes the volume's file system. The volume takes the place of
    // the known volume of its identity, gets the saved settings and is recorded with the image.
    CStatus Mount(const std::string& image, CSet<CVolume, 1>::pointer& volume);

    // Opens the volume's stored catalogue; a volume that was never scanned has none, which is a failure.
    // With the volume's tape in hand, the catalogue must have been made from that tape (CheckCatalogue).
    CStatus OpenScannedCatalogue(CVolume& volume);

    // Fails, naming both images, when the volume's open catalogue was made from another tape than the
    // one mounted: tapes can share an identity, and their catalogues describe only themselves. A
    // catalogue made before the host noted its tape is taken as it is, with a notice that says so.
    CStatus CheckCatalogue(CVolume& volume);

    // The tape image mounted in the volume; null when there is none.
    static const CTapeImage* MountedImage(CVolume& volume);
    // The fingerprint of the tape mounted in the volume; empty when no tape image is mounted in it.
    static CStatus MountedTape(CVolume& volume, std::string& fingerprint);

    // The order in which the registered file-system types, named in registration order, try a mounted
    // tape: Tedial, Active Circle and generic TAR, the labelled layouts first since generic TAR takes any
    // tape that opens with a TAR header; then every other type in registration order. Indices into
    // `typeNames`.
    static std::vector<std::size_t> RecognitionOrder(const std::vector<WString>& typeNames);

    // Records the volume in the registry: its file system's type, the label identifier of replica 0 that
    // its open catalogue holds (kept as it was when the catalogue is closed) and its image.
    CStatus RecordVolume(CVolume& volume);

    // The state saver: writes the settings of each mounted volume's file system afresh into the node of
    // its volume, in one transaction, so that a setting the file system no longer has is not read back
    // later. The volumes only known keep what the database holds for them.
    CStatus SaveSettings();

    // Changes a property of the volume's file system, or else a setting, which the file system checks
    // as it loads it (a refused value leaves the old one); then saves the settings. An empty value
    // clears a property.
    CStatus ChangeSetting(CVolume& volume, const std::string& name, const std::string& value);

    // Hands on what the user should know of a choice the host made; nowhere when not set.
    std::function<void(const std::string&)> Notice = [](const std::string&) {};

    CSystem System;
    // The home's time zone, as TZ takes it; set by Open.
    std::string TimeZone;
    CCatalogueListStore Store{System.Database};
    CVolumeRegistry Registry{System.Database};

private:
    // Tries each registered type in turn; `fileSystem` receives the one that recognised the tape.
    CStatus Recognise(const CSet<CVolume, 1>::pointer& volume,
                      std::unique_ptr<CArchiveFileSystem>& fileSystem);
    // A file system of the type, ready for the volume `id`; null when no plug-in offers the type.
    std::unique_ptr<CArchiveFileSystem> MakeFileSystem(const WString& type, const CVolumeID& id);
    void Prepare(CArchiveFileSystem& fileSystem, const WString& type, const CVolumeID& id);
    // Puts the volume into the system's volumes and into the set of its system and type.
    void Join(const CSet<CVolume, 1>::pointer& volume);
    // Takes the volume out of the system: catalogue closed, file system gone, out of its set.
    void Retire(CVolume& volume);
    void Attach(CVolume& volume, std::unique_ptr<CArchiveFileSystem> fileSystem);

    std::map<CVolumeSetID, CSet<CVolumeSet, 1>::pointer> Sets;
    std::map<CVolumeID, std::unique_ptr<CArchiveFileSystem>> FileSystems;
};
