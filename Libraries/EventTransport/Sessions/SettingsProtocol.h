// The three settings that govern sessions, as the sessions part reads them:
// whether sessions are reported at all, the share of processes that send
// their events, and how long the app may stay in the background before the
// next activation starts a new session. Each value is the effective one
// (a local override, else the downloaded value, else the default) at the
// moment it is read, so a download that lands later changes later reads.
//
// Readers call from any thread; an implementation keeps its reads safe.
#pragma once

class SettingsProtocol {
 public:
  virtual ~SettingsProtocol() = default;

  // Default true.
  virtual bool sessionsEnabled() const = 0;
  // In [0, 1] in practice; default 1.0.
  virtual double samplingRate() const = 0;
  // Seconds; default 1,800.
  virtual double sessionTimeout() const = 0;
  // Starts a download of the remote settings when their cache has expired
  // and returns at once; the download finishes in the background.
  virtual void updateSettings() = 0;
};
