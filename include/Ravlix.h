/*
 * Ravlix.h - the public interface of the Ravlix download plug-in (Ravlix.dll).
 *
 * A host application loads Ravlix.dll, creates one controller with
 * CreateDownload, initialises it on its user-interface thread with
 * InitDownload, hands over downloads with StartDownload and destroys the
 * controller with ReleaseDownload on that same thread. The thread must run a
 * message loop: the plug-in's floating window, its timers and the completion
 * of downloads are driven by window messages.
 *
 * All functions are extern "C", __cdecl, exported by their plain names.
 * Texts are ANSI, zero-terminated, at most 259 characters.
 *
 * The same header serves 32-bit hosts (with the 32-bit Ravlix.dll) and 64-bit
 * hosts (with the 64-bit one): x64 has a single calling convention, and its
 * compilers accept and ignore __cdecl. The types keep their sizes on both
 * (int is 32 bits, the controller a pointer of the platform's width).
 */
#ifndef RAVLIX_H
#define RAVLIX_H

#ifdef __cplusplus
extern "C" {
#endif

/* Called with (0, 1, 0) when all bytes of a download have arrived, on the
 * thread that completed the transfer (never the user-interface thread) and
 * before the file is renamed to its final name. The result is ignored. */
typedef void(__cdecl *ProgressCallback)(int, int, int);

/* Results of StartDownload. */
enum RavlixStartResult {
    RAVLIX_TABLE_FULL = 0,      /* three downloads are live already (also: null controller) */
    RAVLIX_ADMITTED = 1,        /* a task was created and its worker started */
    RAVLIX_DUPLICATE_URL = 2,   /* a live task already fetches this URL */
    RAVLIX_INVALID_REQUEST = 3, /* the URL, proxy or destination name was refused: null or
                                   empty URL, control characters, a text longer than 259
                                   characters, a destination that leaves the download folder,
                                   or a destination a live task already writes */
    RAVLIX_SAVE_CANCELLED = 7   /* the file existed, overwriting was declined and the
                                   Save-As dialog was cancelled */
};

/* Opaque to the host. */
typedef struct DownloadController DownloadController;

/* Returns a new controller, or null when it cannot be allocated. One live
 * controller per process. */
DownloadController *__cdecl CreateDownload(void);

/* Asks to pause active downloads (with a confirmation while any runs), saves
 * every unfinished download for the next start, and frees the controller. */
void __cdecl ReleaseDownload(DownloadController *controller);

/* Shows the floating window and resumes the downloads saved last time.
 * Returns 1 when this call created the window, else 0. A later call brings
 * a window back that the user closed with Quit. */
int __cdecl InitDownload(DownloadController *controller, ProgressCallback callback, int context);

/* Starts fetching url. proxy may be "" (direct) or "host:port";
 * destinationName may be null or "" (the name is taken from the URL), a file
 * name, or a relative path inside the download folder. connections (1..5) is
 * the number of parallel range requests. Returns a RavlixStartResult. */
int __cdecl StartDownload(DownloadController *controller, const char *url, const char *proxy,
                          const char *destinationName, int connections);

/* Asks the skin to show its next face. Returns 1, or 0 for a null controller. */
int __cdecl ToNextFace(DownloadController *controller);

/* Selects skin number selector: 0 the built-in skin, n the n-th folder under
 * the host's "skins\" folder in name order. Returns 1, or 0 for a null
 * controller. */
int __cdecl ChangeSkin(DownloadController *controller, int selector);

/* Added after the six above (ordinals 7 and 8; theirs are unchanged). A host
 * that never calls them gets the user's settings from the Setting dialog.
 * Each takes effect at once, for running downloads too, and is kept in the
 * settings file for every later start of any host. */

/* Caps the speed of all downloads together at bytesPerSecond; 0 lifts the
 * cap. Returns 1, or 0 for a null controller or a negative value (nothing
 * changes then). */
int __cdecl SetSpeedCap(DownloadController *controller, int bytesPerSecond);

/* on = 1: the downloads yield to other traffic on the line (the host's own
 * stream above all), taking only what it leaves; 0: they go at full speed
 * (or the cap). Returns 1, or 0 for a null controller or another value. */
int __cdecl SetBackgroundMode(DownloadController *controller, int on);

#ifdef __cplusplus
}
#endif

#endif
