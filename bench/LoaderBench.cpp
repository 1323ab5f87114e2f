// Loading and checking a 1 MiB packet file, against plainly reading the same file into memory: the
// difference is what the loader's checks cost on top of the disk.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CollectingUi.h"
#include "FirmwareLoader.h"
#include "FirmwareWriter.h"
#include "SharedFlags.h"

namespace {

std::string gPath;

void BM_PlainRead(benchmark::State& state) {
    std::vector<char> buffer(kaldo::FirmwareLoader::kImageBufferSize);
    for (auto _ : state) {
        std::ifstream file(gPath, std::ios::binary);
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        benchmark::DoNotOptimize(file.gcount());
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(gPath)));
}

void BM_ReadFile(benchmark::State& state) {
    kaldo::cli::CollectingUi ui;
    kaldo::SharedFlags flags;
    kaldo::FirmwareLoader loader(ui, flags);
    for (auto _ : state) {
        if (loader.ReadFile(gPath) != kaldo::kPacketFormat) state.SkipWithError("the file was refused");
        benchmark::DoNotOptimize(loader.image());
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(gPath)));
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMicrosecond)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMicrosecond)->Repetitions(15)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    // 256 packets of 4095 bytes after the header: 1,048,357 bytes, just under the image buffer.
    kaldo::tools::FirmwareOptions options;
    options.packetCount = 256;
    options.packetDataLength = 4058;
    gPath = (std::filesystem::temp_directory_path() / ("kaldo-bench-1mib-" + std::to_string(getpid()) + ".syx")).string();
    if (!kaldo::tools::writeFile(gPath, kaldo::tools::makeFirmware(options))) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove(gPath);
    return 0;
}
