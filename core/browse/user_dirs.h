#pragma once
// The user's base folders by the freedesktop base directory rules: a variable
// counts only when it holds an absolute path (unset, empty or relative ones
// are ignored). Home is $HOME, else the password database's home of the
// effective user; every result is empty when neither gives an absolute path,
// and callers then refuse rather than write under "/".
//
// Thread rules: plain functions reading the environment afresh on each call;
// safe from any thread as long as nobody changes the environment meanwhile.

#include <string>
#include <vector>

std::string HomeDir();
std::string XdgDataHome();    // $XDG_DATA_HOME, else home/.local/share
std::string XdgConfigHome();  // $XDG_CONFIG_HOME, else home/.config
std::string XdgCacheHome();   // $XDG_CACHE_HOME, else home/.cache
std::string XdgRuntimeDir();  // $XDG_RUNTIME_DIR; no fallback
// The absolute entries of $XDG_DATA_DIRS / $XDG_CONFIG_DIRS, in order; the
// standard lists when the variable is unset or empty.
std::vector<std::string> XdgDataDirs();    // else /usr/local/share, /usr/share
std::vector<std::string> XdgConfigDirs();  // else /etc/xdg
