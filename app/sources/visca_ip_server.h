// VISCA over IP into the panel: the PTZ controllers of a studio (hardware
// joysticks, Companion, OBS's PTZ plugins, vision mixers) steer the gimbal
// as they steer a camera. It lives on the window's thread and never waits:
// woken by its socket, it reads what datagrams wait (a bounded number each
// time, so that a flood cannot starve the poll), answers each at once and
// hands what it asks to the panel:
//   - Pan-tiltDrive goes through the panel's one steering state, as the
//     stick does (its repeat, its stop rules); a stop is one zero move;
//   - camera commands and inquiries (81 01 04 .., 81 09 04 ..) go to the
//     gimbal's line as they are, through the panel's send path; the camera
//     block's answers that the poll reads go back with the sequence number
//     of the command they answer;
//   - what this gimbal cannot do (positions, home, presets) is answered
//     "command not executable", never faked.
// A drive lasts while its controller is heard: silence for the hold time
// stops it, as a client's stick on the control server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/sources/server.h"
#include "protocol/visca_ip.h"

class ViscaIpServer : public Server {
 public:
  static constexpr std::size_t kMaxPerLook = 32;      // datagrams read each time it is woken
  static constexpr std::size_t kMaxControllers = 8;   // heard at once; the oldest silent one is forgotten
  static constexpr unsigned kAnswerWaitMs = 1000;     // for the camera block's answer to a command

  // url: udp://HOST:PORT; peer: the only host heard (empty: any); holdMs: a drive's life without a packet.
  ViscaIpServer(std::string url, unsigned holdMs, std::string peer);
  ~ViscaIpServer() override;
  ViscaIpServer(const ViscaIpServer&) = delete;
  ViscaIpServer& operator=(const ViscaIpServer&) = delete;

  bool Bind(std::string& why) override;
  std::string Listening() const override;
  // What the poll read from the gimbal's line: the camera block's answers in it go back.
  void Heard(const PanelEvent& event) override;

 private:
  struct Controller;
  void Service() override;
  void Read(const std::uint8_t* bytes, std::size_t n);
  void Take(Controller& c, const visca_ip::Packet& packet);
  void Command(Controller& c, std::uint16_t type, std::uint32_t sequence, const std::vector<std::uint8_t>& payload);
  void Reply(Controller& c, std::uint16_t type, std::uint32_t sequence, const std::vector<std::uint8_t>& payload);
  void Steer(Controller& c, int x, int y);
  Controller& Heard(const std::string& address, const std::string& host, const std::string& text);

  std::string m_urlAsked;
  unsigned m_holdMs;
  std::string m_peer;
  std::string m_url;
  std::vector<std::unique_ptr<Controller>> m_controllers;
  std::vector<std::uint8_t> m_answer;  // the camera block's answer read so far
  struct Pending {  // a camera command sent to the line, its answers still to come
    int controller;  // its source's id
    std::uint32_t sequence;
    std::uint64_t since;
  };
  std::deque<Pending> m_pending;
};
