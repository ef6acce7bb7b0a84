// PTZ controllers into the panel: hardware joysticks, Companion, OBS's PTZ
// plugins, vision mixers steer the gimbal as they steer a camera, in VISCA
// over IP (UDP, an 8-byte header with a sequence number) or in raw VISCA
// (UDP or TCP, messages delimited by their FF). It lives on the window's
// thread and never waits: woken by its sockets, it reads what waits (a
// bounded amount each time, so that a flood cannot starve the poll),
// answers at once what a camera's interface answers itself, and hands the
// rest to the panel:
//   - Pan-tiltDrive goes through the panel's one steering state, as the
//     stick does (its repeat, its stop rules); a stop is one zero move;
//   - camera commands and the inquiries the camera block answers go to the
//     gimbal's line as they are, through the panel's send path; the camera
//     block's answers that the poll reads go back to whoever waits for them
//     (an inquiry resent while its answer is awaited joins the wait, one
//     resent just after it was answered gets that answer: neither is sent
//     again);
//   - what this gimbal cannot do (positions, home, presets) is answered
//     "command not executable", never faked.
// A drive lasts while its controller is heard: silence for the hold time
// stops it, as a client's stick on the control server; a TCP controller
// that disconnects stops it at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/sources/server.h"
#include "protocol/visca_ip.h"

class ViscaIpServer : public Server {
 public:
  static constexpr std::size_t kMaxPerLook = 32;      // datagrams or reads each time it is woken
  static constexpr std::size_t kMaxControllers = 8;   // heard at once; the oldest silent one is forgotten
  static constexpr unsigned kAnswerWaitMs = 1000;     // for the camera block's first answer to a message
  static constexpr unsigned kCompletionWaitMs = 10000;  // for a command's completion once acknowledged
  static constexpr std::size_t kMaxPending = 64;      // camera messages awaited at once; the oldest is given up
  static constexpr unsigned kResendMs = 200;          // an inquiry resent this soon after its answer gets that answer

  // kOverIp: udp://HOST:PORT, packets with their header; kRaw: udp:// or tcp://, bare messages.
  enum class Framing { kOverIp, kRaw };
  // peer: the only host heard (empty: any); holdMs: a drive's life without a word from its controller.
  ViscaIpServer(std::string url, unsigned holdMs, std::string peer, Framing framing);
  ~ViscaIpServer() override;
  ViscaIpServer(const ViscaIpServer&) = delete;
  ViscaIpServer& operator=(const ViscaIpServer&) = delete;

  bool Bind(std::string& why) override;
  std::string Listening() const override;
  // What went to the gimbal's line and what the poll read from it: the
  // camera block's answers go back to whoever waits for them.
  void Heard(const PanelEvent& event) override;
  void Detach() override;

 private:
  struct Controller;
  using Bytes = visca_ip::Bytes;
  struct Waiter {
    int controller;  // its source's id
    std::uint32_t sequence;
  };
  struct Pending {  // a message at the camera block, its answers still to come
    Bytes message;
    std::vector<Waiter> waiters;  // none: the window's own, or a script's
    std::uint64_t since;
    std::uint64_t until;  // given up then
    int socket = -1;      // where its acknowledge put it; -1 not acknowledged yet
  };

  struct Given {  // an inquiry's answer just given, for a resend that crossed it
    Bytes message, answer;
    std::vector<int> controllers;
    std::uint64_t at;
  };

  void Service() override;
  void ReadDatagrams();
  void AcceptConnections();
  void ReadConnection(Controller& c);
  void Take(Controller& c, const visca_ip::Packet& packet);
  void Message(Controller& c, std::uint32_t sequence, const Bytes& message);
  void Reply(Controller& c, std::uint16_t type, std::uint32_t sequence, const Bytes& payload);
  void Steer(Controller& c, int x, int y);
  void Sent(const std::uint8_t* bytes, std::size_t n);
  void Answered(const std::uint8_t* bytes, std::size_t n);
  void Match(const Bytes& answer, std::uint64_t now);
  void GiveUp(std::uint64_t now);
  void Await(Bytes message, std::uint64_t now);
  Controller& Heard(const std::string& address, const std::string& host, const std::string& text);
  void Forget(std::size_t index, const std::string& why);
  bool Tcp() const { return m_scheme == "tcp"; }
  std::string Protocol() const { return m_framing == Framing::kOverIp ? "VISCA over IP" : "VISCA"; }

  std::string m_urlAsked;
  unsigned m_holdMs;
  std::string m_peer;
  Framing m_framing;
  std::string m_scheme;  // udp or tcp
  std::string m_url;
  std::vector<std::unique_ptr<Controller>> m_controllers;
  Bytes m_answer;  // the camera block's answer read so far
  std::deque<Pending> m_pending;
  std::deque<Given> m_answered;
};
