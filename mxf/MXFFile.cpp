// Opening, positioning, reading and writing of MXF files on disk, behind adopted handles and in memory.
#include "mxf/MXFFile.h"

#include "mxf/Hex.h"

#include "crt/LowIO.h"

#include <algorithm>
#include <cstring>

namespace mxf
{

MXFFile::~MXFFile()
{
    // Not the virtual Close: a subclass is gone by now.
    MXFFile::Close();
}

bool MXFFile::Open(const std::string& path, bool readOnly)
{
    if (IsOpen)
        Close();
    IsMemoryFile = false;
    IsExternalHandle = false;
    Name = path;
    Handle = crt::Open(path.c_str(), readOnly ? crt::OpenMode::ReadOnly : crt::OpenMode::ReadWrite);
    if (Handle < 0)
        return false;
    IsOpen = true;
    return FindRunIn();
}

bool MXFFile::OpenNew(const std::string& path)
{
    if (IsOpen)
        Close();
    IsMemoryFile = false;
    IsExternalHandle = false;
    Name = path;
    Handle = crt::Open(path.c_str(), crt::OpenMode::CreateNew);
    if (Handle < 0)
        return false;
    IsOpen = true;
    RunInSize = 0;
    return true;
}

bool MXFFile::OpenMemory(const DataChunkPtr& buffer, std::uint64_t offset)
{
    if (IsOpen)
        Close();
    IsMemoryFile = true;
    IsExternalHandle = false;
    Name = "Memory File";
    RunInSize = 0;
    Buffer = buffer ? buffer : DataChunkPtr(new DataChunk);
    if (Buffer->GetGranularity() == 0)
        Buffer->SetGranularity(0x10000);
    BufferOffset = offset;
    BufferPosition = offset;
    IsOpen = true;
    return true;
}

bool MXFFile::OpenHandle(int handle)
{
    if (IsOpen)
        Close();
    IsMemoryFile = false;
    IsExternalHandle = true;
    Name = "Existing Open File";
    Handle = handle;
    if (handle < 0)
        return false;
    IsOpen = true;
    return FindRunIn();
}

bool MXFFile::Close()
{
    if (IsOpen)
    {
        if (IsMemoryFile)
            Buffer = nullptr;
        else if (!IsExternalHandle)
            crt::Close(Handle);
    }
    IsOpen = false;
    return true;
}

bool MXFFile::Truncate(std::int64_t position)
{
    if (!IsOpen)
        return true;
    if (IsMemoryFile)
        return false;
    if (IsExternalHandle)
        return true;
    if (position == -1)
        position = crt::Tell(Handle);
    return position >= 0 && crt::ChangeSize(Handle, position) == 0;
}

std::uint64_t MXFFile::Tell()
{
    if (!IsOpen)
        return 0;
    if (IsMemoryFile)
        return BufferPosition - RunInSize;
    return static_cast<std::uint64_t>(crt::Tell(Handle)) - RunInSize;
}

int MXFFile::Seek(std::uint64_t position)
{
    if (!IsOpen)
        return 0;
    if (IsMemoryFile)
    {
        BufferPosition = position + RunInSize;
        return 0;
    }
    return crt::Seek(Handle, static_cast<std::int64_t>(position + RunInSize), crt::Origin::Start) < 0 ? -1
                                                                                                      : 0;
}

std::int64_t MXFFile::SeekEnd()
{
    if (!IsOpen)
        return 0;
    if (IsMemoryFile)
    {
        DiagnosticError("MXFFile::SeekEnd() not supported on memory files\n");
        BufferPosition = Buffer->Size() + BufferOffset;
        return static_cast<std::int64_t>(Tell());
    }
    return crt::Seek(Handle, 0, crt::Origin::End) < 0 ? -1 : 0;
}

bool MXFFile::Eof()
{
    if (!IsOpen)
        return true;
    if (IsMemoryFile)
    {
        DiagnosticError("MXFFile::Eof() not supported on memory files\n");
        // Answered anyway, from the position, so that a caller's loop still ends.
        return BufferPosition - BufferOffset >= Buffer->Size();
    }
    return crt::Eof(Handle) != 0;
}

std::int64_t MXFFile::FileSize()
{
    if (!IsOpen || IsMemoryFile)
        return -1;
    return crt::FileLength(Handle);
}

std::uint64_t MXFFile::Read(std::uint8_t* buffer, std::uint64_t size)
{
    if (size == 0)
        return 0;
    // A closed memory file has no buffer left: it reads as a closed disk file does.
    if (IsMemoryFile && IsOpen)
        return MemoryRead(buffer, size);
    const std::int64_t got = IsOpen ? crt::Read(Handle, buffer, size) : -1;
    if (got < 0)
    {
        DiagnosticError("Error reading file \"%s\" at 0x%s - %s\n", Name.c_str(),
                        HexText64(Tell(), 8).c_str(), IsOpen ? crt::ErrorText() : "file is not open");
        return 0;
    }
    return static_cast<std::uint64_t>(got);
}

DataChunkPtr MXFFile::Read(std::uint64_t size)
{
    return ReadValueBytes(size);
}

DataChunkPtr MXFFile::ReadValueBytes(std::uint64_t length)
{
    // The whole length is never allocated up front: it comes from the file and may be anything. Where the
    // size of the file is known the read stops at its end; elsewhere the chunk doubles as bytes come, so
    // that the copying stays linear, and ends with the bytes that came.
    length = std::min(length, BytesLeft());
    DataChunkPtr chunk(new DataChunk);
    std::uint64_t done = 0;
    std::uint64_t piece = 1 << 16;
    while (done < length)
    {
        const std::uint64_t want = std::min(piece, length - done);
        chunk->Resize(done + want);
        const std::uint64_t got = Read(chunk->Data() + done, want);
        done += got;
        if (got < want)
            break;
        piece = done;
    }
    chunk->Resize(done);
    return chunk;
}

std::uint64_t MXFFile::BytesLeft()
{
    if (IsMemoryFile && IsOpen && Buffer)
    {
        const std::uint64_t index = BufferPosition - BufferOffset;
        return BufferPosition >= BufferOffset && index < Buffer->Size() ? Buffer->Size() - index : 0;
    }
    const std::int64_t size = FileSize();
    if (size < 0)
        return ~std::uint64_t{0};
    const std::uint64_t end = static_cast<std::uint64_t>(size) - std::min<std::uint64_t>(size, RunInSize);
    const std::uint64_t at = Tell();
    return at < end ? end - at : 0;
}

std::int64_t MXFFile::Write(const DataChunkPtr& data)
{
    return data ? Write(data->Data(), data->Size()) : 0;
}

std::int64_t MXFFile::Write(const DataChunk& data)
{
    return Write(data.Data(), data.Size());
}

std::int64_t MXFFile::Write(const std::uint8_t* buffer, std::uint64_t size)
{
    if (!IsOpen)
        return -1;
    if (IsMemoryFile)
        return static_cast<std::int64_t>(MemoryWrite(buffer, size));
    return crt::Write(Handle, buffer, size);
}

int MXFFile::Flush()
{
    if (!IsOpen || IsMemoryFile)
        return 0;
    return crt::Commit(Handle);
}

std::uint64_t MXFFile::MemoryWrite(const std::uint8_t* buffer, std::uint64_t size)
{
    if (!Buffer)
    {
        DiagnosticError("Cannot currently write to a memory file that is not open\n");
        return 0;
    }
    if (BufferPosition < BufferOffset)
    {
        DiagnosticError("Cannot currently write to a memory file before the buffer start\n");
        return 0;
    }
    const std::uint64_t index = BufferPosition - BufferOffset;
    if (index + size > Buffer->Size())
        Buffer->Resize(index + size);
    if (size)
        std::memcpy(Buffer->Data() + index, buffer, size);
    BufferPosition += size;
    return size;
}

std::uint64_t MXFFile::MemoryRead(std::uint8_t* buffer, std::uint64_t size)
{
    if (!Buffer)
    {
        DiagnosticError("Cannot currently read from a memory file that is not open\n");
        return 0;
    }
    if (BufferPosition < BufferOffset)
    {
        DiagnosticError("Cannot currently read from a memory file before the buffer start\n");
        return 0;
    }
    const std::uint64_t index = BufferPosition - BufferOffset;
    if (index >= Buffer->Size())
    {
        DiagnosticError("Cannot currently read beyond the end of a memory file buffer\n");
        return 0;
    }
    const std::uint64_t count = std::min(size, Buffer->Size() - index);
    std::memcpy(buffer, Buffer->Data() + index, count);
    BufferPosition += count;
    return count;
}

} // namespace mxf
