// The poll and the frame path without a window (the in-memory controls).
#include <benchmark/benchmark.h>

#include "app/dialog.h"
#include "app/panel/control_ids.h"
#include "app/panel/mem_controls.h"
#include "bench_common.h"
#include "null_host.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/reply.h"
#include "serial/port_map.h"

namespace {
void BM_PollSerialMillionLines(benchmark::State& state) {
  BenchPty pty;
  PortMap map;
  map.Map("COM1", pty.path);
  MemControls controls;
  NullHost host;
  CComSync port(&map);
  CVarnelDlg dlg(controls, host, port);
  dlg.OnInitDialog();
  dlg.Timer().Stop();
  const std::uint8_t line[17] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (int i = 0; i < 1000000; ++i) controls.AddLogLine(idc::RecvLog, HexLine(line, sizeof line));
  const auto n = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    if (n) Feed(pty, static_cast<int>(port.NativeHandle()), n);
    state.ResumeTiming();
    dlg.OnPollSerial();
  }
  state.counters["log_lines"] = static_cast<double>(controls.GetCount(idc::RecvLog));
}
BENCHMARK(BM_PollSerialMillionLines)->Arg(0)->Arg(8)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_DecodeReply(benchmark::State& state) {
  const std::uint8_t reply[8] = {0xBB, 0x09, 0x01, 0x49, 0x02, 0x00, 0x00, 0x00};
  for (auto _ : state) benchmark::DoNotOptimize(DecodeReplyFrame(reply));
}
BENCHMARK(BM_DecodeReply);

void BM_BuildAndEchoFrame(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FormatSentFrame(BuildCardQuery(kQueryState)));
}
BENCHMARK(BM_BuildAndEchoFrame);
}  // namespace

BENCHMARK_MAIN();
