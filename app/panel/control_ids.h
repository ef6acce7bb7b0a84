// Control ids of the main window, as every handler and script names them.
#pragma once

namespace idc {
// I/O
inline constexpr int ExitTracking = 1000, ComPort = 1001, Status = 1004;
// Tracking and motion
inline constexpr int Up = 1012, Left = 1013, Right = 1014, Down = 1015, Step = 1016, OffsetX = 1019, OffsetY = 1020;
inline constexpr int CancelTracking = 1031, StartTracking = 1032, Channel = 1035, ChannelOk = 1036;
inline constexpr int StartStorage = 1040, Interlaced = 1041, PseudoColor = 1042, Enhance = 1043, StopStorage = 1044;
inline constexpr int SingleCapture = 1047, Shutter = 1048;
// SD card
inline constexpr int Format = 1049, QueryState = 1050, Residual = 1051, Capacity = 1052, Pictures = 1053,
                     Minutes = 1054;
// Zoom and adjustment sliders
inline constexpr int ZoomNarrow = 1058, ZoomEnlarge = 1059, CoeffNarrow = 1060, CoeffEnlarge = 1061,
                     ContrastNarrow = 1062, ZoomSlider = 1063, CoeffSlider = 1064, ContrastSlider = 1065,
                     ContrastEnlarge = 1066, BrightnessSlider = 1067, BrightnessEnlarge = 1068,
                     BrightnessNarrow = 1069;
inline constexpr int Baud = 1094, Parity = 1096, Frozen = 1097, Thaw = 1098, Network = 1101, VideoLength = 1102;
inline constexpr int Template = 1103, TemplateOk = 1104, Defog = 1105, ZoomText = 1106, Steady = 1107;
inline constexpr int AlarmOk = 1108, TempBar = 1109, CoeffText = 1110;
// OSD
inline constexpr int Year = 1111, Month = 1112, Day = 1113, Hour = 1114, Minute = 1115, Second = 1116;
inline constexpr int OsdSettings = 1117, Heading = 1118, Pitching = 1119, Roll = 1120;
inline constexpr int ContrastText = 1121, GpsN = 1122, GpsE = 1123, GpsH = 1124, BrightnessText = 1125;
inline constexpr int CompTempCheck = 1126, Preservation = 1127, PreservationMode = 1128, SentFrame = 1129;
inline constexpr int OsdFirst = 1130, OsdLast = 1145;  // the sixteen OSD check boxes:
inline constexpr int HideOsd = 1130, HideCrossFrame = 1131, HideAttitude = 1132, MissDistance = 1133, HideGps = 1134,
                     HideTime = 1135, HideFieldOfView = 1136, BigFont = 1137, SaveOsd = 1138, GpsInput = 1139,
                     GpsRelative = 1140, AngleInput = 1141, FieldInput = 1142, FieldAngle = 1143, TimeInput = 1144,
                     HideBorder = 1145;
inline constexpr int VideoFormat1 = 1146, Core = 1147, VideoFormat2 = 1148;
inline constexpr int Visca = 1149, PrivateZoom = 1150, ControlMode = 1151;
// Temperature measurement
inline constexpr int AlarmTemp = 1152, HighTemp = 1153, LowTemp = 1154;
// Receive log and polling
inline constexpr int RecvLog = 1155, PrepareTest = 1156, Empty = 1157, ManualText = 1158, ManualSend = 1159;
inline constexpr int ShowRecvTime = 1160, PollPeriod = 1161, CompTemp = 1162, FormatStatus = 1163,
                     SetInterval = 1164;
}  // namespace idc
