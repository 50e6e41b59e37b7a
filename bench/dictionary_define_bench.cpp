// Times the dictionary definers: each iteration defines a thousand value types (a quarter of the
// interpretations listed before the type they interpret, so that a second pass is needed) and then a
// thousand classes (a hundred local sets of nine items with 2-byte tags), all new, from their records.
// Building the records is not timed; the registries keep every entry, so later iterations also show the
// cost of a fuller dictionary.
#include "mxf/ClassDefinition.h"
#include "mxf/TypeDefinition.h"

#include <benchmark/benchmark.h>

#include <string>

namespace mxf
{
void DiagnosticNote(const char*, ...) {}
void DiagnosticError(const char*, ...) {}
} // namespace mxf

namespace
{

std::uint32_t Counter = 0;

mxf::ULPtr NewLabel()
{
    const std::uint32_t n = ++Counter;
    const std::uint8_t bytes[16] = {0x06,
                                    0x0e,
                                    0x2b,
                                    0x34,
                                    0x01,
                                    0x01,
                                    0x01,
                                    0x01,
                                    0x0e,
                                    0x7e,
                                    static_cast<std::uint8_t>(n >> 24),
                                    static_cast<std::uint8_t>(n >> 16),
                                    static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n),
                                    0,
                                    0};
    return new mxf::UL(bytes);
}

mxf::TypeRecordPtr TypeRecord(std::int32_t kind, const std::string& name, const std::string& base)
{
    mxf::TypeRecordPtr record(new mxf::TypeRecord);
    record->Kind = kind;
    record->Name = name;
    record->Base = base;
    record->Size = kind == mxf::TypeRecord::BASIC ? 4 : 0;
    record->UL = NewLabel();
    return record;
}

mxf::TypeRecordList TypeRecords(const std::string& prefix)
{
    mxf::TypeRecordList records;
    for (int i = 0; i < 250; ++i)
    {
        const std::string basic = prefix + "Basic" + std::to_string(i);
        const std::string early = prefix + "Early" + std::to_string(i);
        records.push_back(TypeRecord(mxf::TypeRecord::INTERPRETATION, early, basic));
        records.push_back(TypeRecord(mxf::TypeRecord::BASIC, basic, ""));
        records.push_back(
            TypeRecord(mxf::TypeRecord::INTERPRETATION, prefix + "Late" + std::to_string(i), basic));
        records.push_back(TypeRecord(mxf::TypeRecord::MULTIPLE, prefix + "Many" + std::to_string(i), early));
    }
    return records;
}

mxf::ClassRecordList ClassRecords(const std::string& prefix)
{
    mxf::ClassRecordList records;
    for (int set = 0; set < 100; ++set)
    {
        mxf::ClassRecordPtr record(new mxf::ClassRecord);
        record->Class = mxf::ClassRecord::SET;
        record->MinSize = 2;
        record->MaxSize = 2;
        record->Name = prefix + "Set" + std::to_string(set);
        record->UL = NewLabel();
        for (int item = 0; item < 9; ++item)
        {
            mxf::ClassRecordPtr member(new mxf::ClassRecord);
            member->Class = mxf::ClassRecord::ITEM;
            member->Name = "Item" + std::to_string(item);
            member->Base = prefix + "Late" + std::to_string((set * 9 + item) % 250);
            member->Tag = static_cast<std::int32_t>(0x8000 + (Counter & 0x7fff));
            member->UL = NewLabel();
            record->Children.push_back(member);
        }
        records.push_back(record);
    }
    return records;
}

void DefineThousandTypesAndClasses(benchmark::State& state)
{
    int round = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        const std::string prefix = "Bench" + std::to_string(++round) + "-";
        const mxf::TypeRecordList types = TypeRecords(prefix);
        const mxf::ClassRecordList classes = ClassRecords(prefix);
        state.ResumeTiming();
        benchmark::DoNotOptimize(mxf::DefineTypesFromRecords(types, mxf::DefaultSymbolSpace()));
        benchmark::DoNotOptimize(mxf::DefineClassesFromRecords(classes, mxf::DefaultSymbolSpace()));
    }
}

} // namespace

BENCHMARK(DefineThousandTypesAndClasses)->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK_MAIN();
