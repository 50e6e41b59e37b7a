#include "TapeFixture.h"

#include "FileSystems/TarReelFS/CGenericTarGetOperationContext.h"
#include "frame/CCatArchive.h"
#include "frame/CFileListPointer.h"
#include "vnservice/CFragmentFile.h"
#include "vnservice/COperationRunner.h"
#include "vnservice/CTapeImageWriter.h"
#include "vnservice/CTapeMedium.h"
#include "vnservice/CVantrelFragmentImpl.h"
#include "win/CodePage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace
{
Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
} // namespace

Bytes ReadFixture(const std::string& relative)
{
    return ReadFile(std::string(std::getenv("REELFS_FIXTURES")) + "/" + relative);
}

std::vector<tartest::Listed> ReadListing(const std::string& relative)
{
    return tartest::ReadListing(tartest::FixturePath(relative));
}

void WriteTape(const std::string& path, std::uint32_t block, const std::vector<Bytes>& files,
               bool markAfterLast)
{
    CTapeImageWriter writer;
    ASSERT_TRUE(writer.Begin(path).IsSuccess());
    for (const Bytes& file : files)
    {
        for (std::size_t at = 0; at < file.size(); at += block)
        {
            Bytes record(block, 0);
            std::memcpy(record.data(), file.data() + at, std::min<std::size_t>(block, file.size() - at));
            ASSERT_TRUE(writer.WriteRecord(record.data(), block).IsSuccess());
        }
        if (markAfterLast || &file != &files.back())
        {
            ASSERT_TRUE(writer.WriteMark().IsSuccess());
        }
    }
    ASSERT_TRUE(writer.Finish().IsSuccess());
}

void FixChecksum(std::uint8_t* block)
{
    tartest::Seal(*reinterpret_cast<TarHeaderBlock*>(block));
}

void TapeFixture::SetUp()
{
    ASSERT_TRUE(System.Open((Base / "home").string()).IsSuccess());
    System.Catalogues = &Store;
}

void TapeFixture::TearDown()
{
    for (auto& volume : Volumes)
        volume->CloseCatalogue();
    Volumes.clear();
}

CVolumePointer TapeFixture::Mount(const std::vector<Bytes>& files, std::uint32_t block, bool markAfterLast)
{
    std::string path = (Base / ("tape" + std::to_string(++Tapes) + ".tap")).string();
    WriteTape(path, block, files, markAfterLast);
    CSet<CMedium, 1>::pointer medium(new CTapeMedium("drive" + std::to_string(Tapes)));
    EXPECT_TRUE(static_cast<CTapeMedium*>(medium.get())->Open(path).IsSuccess());
    CVolumePointer volume(new CVolume(&System, CVolumeID(), "tape" + std::to_string(Tapes)));
    volume->SetReplica(0, medium);
    volume->SetAccessible(true);
    Volumes.push_back(volume);
    return volume;
}

CStatus TapeFixture::RunOperation(const CVolumePointer& volume, std::uint32_t opcode,
                                  const std::function<void(CArchiveFileSystemOperation&)>& fill)
{
    auto& fileSystem = TapeFileSystemOf(volume);
    std::unique_ptr<CArchiveFileSystemOperation> operation(fileSystem.CreateOperation({}, {}, volume, {}));
    operation->Opcode = opcode;
    fill(*operation);
    CStatus status = COperationRunner::Run(fileSystem, *operation);
    LastResult = operation->ResultStatus;
    return status;
}

CTapeFileSystem& TapeFixture::TapeFileSystemOf(const CVolumePointer& volume)
{
    if (!volume->GetFileSystem())
    {
        FileSystems.emplace_back(CreateFileSystem());
        FileSystems.back()->EventSource = CFileName(FileSystems.back()->GetFileSystemType()).ToUtf8();
        volume->SetFileSystem(FileSystems.back().get());
    }
    return static_cast<CTapeFileSystem&>(*volume->GetFileSystem());
}

CStatus TapeFixture::Recognise(const CVolumePointer& volume)
{
    CStatus status = RunOperation(volume, 2, [](CArchiveFileSystemOperation&) {});
    if (status.IsSuccess() && TapeFileSystemOf(volume).IsRecognised(0))
    {
        TapeFileSystemOf(volume).VolumeID = volume->GetID();
        System.Volumes.Insert(volume);
    }
    return status;
}

CStatus TapeFixture::Scan(const CVolumePointer& volume, std::vector<ScanItem>* items)
{
    if (CStatus status = volume->OpenCatalogue(true, false); status.Failed())
        return status;
    auto& fileSystem = TapeFileSystemOf(volume);
    std::unique_ptr<CGetOperationContext> context(
        fileSystem.CreateGetOperationContext(volume, volume->GetReplica(0)));
    auto& tapeContext = static_cast<CTapeGetOperationContext&>(*context);
    CStatus status;
    while (status.IsSuccess() && !context->IsEndOfData())
    {
        const std::uint64_t before = tapeContext.ScanPosition;
        status = RunOperation(volume, 11,
                              [&](CArchiveFileSystemOperation& operation)
                              {
                                  operation.SetScanContext(context.get());
                                  operation.SetScanCatalogue(volume->Catalogue);
                              });
        // A file's fragment is the host's, also when the operation failed after filling the item.
        auto& item = context->ItemOperation;
        std::unique_ptr<CUserFragment> fragment(item.Opcode == 4 ? item.ItemFragment() : nullptr);
        item.SetItemFragment(nullptr);
        if (status.Failed())
            break;
        if (fragment)
        {
            CCatArchive record(item.ItemFileStart(), fragment->CatalogueFileName.GetText(), fragment->Size,
                               fragment->Time, fragment->SegmentIndex, fragment->OrderKey1,
                               fragment->OrderKey2);
            EXPECT_EQ(volume->Catalogue->Append(record), 0u);
        }
        if (items)
            items->push_back({item.Opcode, item.AnchoredFileName.ToUtf8(), item.ItemPosition(),
                              item.ItemSize(), item.ItemCounter()});
        EXPECT_GT(tapeContext.ScanPosition, before) << "the scan must move on";
        if (tapeContext.ScanPosition <= before)
            break;
    }
    Store.Commit(volume->Catalogue);
    return status;
}

CVolumePointer TapeFixture::MountAndScan(const std::vector<Bytes>& archives, std::uint32_t block)
{
    CVolumePointer volume = Mount(archives, block);
    CStatus status = Recognise(volume);
    EXPECT_TRUE(status.IsSuccess()) << status.ToString();
    status = Scan(volume);
    EXPECT_TRUE(status.IsSuccess()) << status.ToString();
    return volume;
}

std::vector<TapeFixture::FileRecord> TapeFixture::Files(const CVolumePointer& volume)
{
    std::vector<FileRecord> files;
    if (!volume->Catalogue)
        return files;
    CFileListInternal& catalogue = *volume->Catalogue;
    for (auto at = catalogue.begin(1), end = catalogue.end(1); at != end; ++at)
    {
        CFileListPointer<CCatalogueItem> handle = GetPointer<CCatalogueItem>(at);
        if (handle.Get()->GetObjectType(false) != KindArchive)
            continue;
        const auto& archive = static_cast<const CCatArchive&>(*handle.Get());
        files.push_back({CFileName(archive.GetKeyPath()).ToUtf8(), archive.FileSize, archive.GetFileTime(),
                         archive.Position, archive.OrderKey2});
    }
    return files;
}

bool TapeFixture::FindNewest(const CVolumePointer& volume, const std::string& path, std::uint32_t orderKey2,
                             FileRecord& record)
{
    bool found = false;
    for (const FileRecord& file : Files(volume))
        if (file.Path == path &&
            (orderKey2 == 0 ? !found || file.OrderKey2 > record.OrderKey2 : file.OrderKey2 == orderKey2))
        {
            record = file;
            found = true;
        }
    return found;
}

CStatus TapeFixture::Restore(const CVolumePointer& volume, const std::string& path, Bytes& out,
                             std::uint32_t orderKey2, bool early)
{
    FileRecord record{};
    CFileName name;
    name.FromMultiByte(CP_UTF8, path);
    if (!FindNewest(volume, path, orderKey2, record))
        record = {path, 0, 0, 0, 1};
    CLocalFragmentFile file(&System);
    file.ConstructFromCatalogue(
        CFileName(TapeFileSystemOf(volume).GetFileSystemType()),
        {name, record.Position, record.Size, record.FileTime, 0, 0, record.OrderKey2});
    const auto destination = Base / "restored";
    std::filesystem::remove(destination);
    file.SetDestination(destination.string());
    CStatus status = RunOperation(volume, 7,
                                  [&](CArchiveFileSystemOperation& operation)
                                  {
                                      operation.SetUserFragment(&file);
                                      operation.RestoreStart() = record.Position;
                                      operation.SetEarlyResult(early);
                                  });
    CStatus closed = file.Close();
    out = ReadFile(destination);
    return status.Failed() ? status : closed;
}

CStatus TapeFixture::RestoreRange(const CVolumePointer& volume, const std::string& path, std::uint64_t offset,
                                  std::uint64_t length, Bytes& out)
{
    FileRecord record{};
    if (!FindNewest(volume, path, 0, record))
        record = {path, 0, 0, 0, 1};
    const auto destination = Base / "range";
    int descriptor = ::open(destination.string().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    CVantrelFragmentImpl fragment;
    fragment.FileName.FromMultiByte(CP_UTF8, path);
    fragment.OrderKey2 = record.OrderKey2;
    fragment.FileSize = record.Size;
    fragment.Stream.Descriptor = descriptor;
    fragment.Stream.Offset = offset;
    fragment.Stream.Length = length;
    CStatus status = RunOperation(volume, 8,
                                  [&](CArchiveFileSystemOperation& operation)
                                  {
                                      operation.SetSourceFragment(&fragment);
                                      operation.FragmentOffset() = offset;
                                      operation.RestoreStart() = record.Position;
                                  });
    ::close(descriptor);
    out = ReadFile(destination);
    return status;
}

std::map<std::string, Bytes> TapeFixture::ExtractWithTar(const std::vector<std::string>& archives)
{
    const auto folder = Base / ("extracted" + std::to_string(++Tapes));
    std::filesystem::create_directories(folder);
    std::string command = "tar -x -C '" + folder.string() + "'";
    if (archives.size() > 1)
        command += " -M";
    for (const auto& archive : archives)
        command += " -f '" + std::string(std::getenv("REELFS_FIXTURES")) + "/" + archive + "'";
    EXPECT_EQ(std::system((command + " 2>/dev/null").c_str()), 0) << command;
    std::map<std::string, Bytes> members;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            members[std::filesystem::relative(entry.path(), folder).string()] = ReadFile(entry.path());
    return members;
}
