// SPDX-License-Identifier: GPL-3.0-or-later
"use strict";

// One Ruffle, playing the movies the program's page hands it (see player.js).

// The Flash control's settings for the movie area: play at once with sound,
// loop, high quality, the whole stage shown and centred on the movie's own
// background colour, the movie's menu but nothing that leaves the program.
window.RufflePlayer = {
    config: {
        autoplay: "on",
        unmuteOverlay: "hidden",
        splashScreen: false,
        letterbox: "off",
        backgroundColor: null,
        wmode: "window",
        quality: "high",
        scale: "showAll",
        menu: true,
        contextMenu: "on",
        allowFullscreen: false,
        showSwfDownload: false,
        openUrlMode: "deny",
        allowNetworking: "none",
        allowScriptAccess: false,
        upgradeToHttps: false,
        warnOnUnsupportedContent: false,
        polyfills: false,
        // Text in fonts the movie names but does not embed (宋体, 楷体...) is
        // drawn by the browser from the system's fonts; Ruffle's own font
        // has no Chinese.
        deviceFontRenderer: "canvas",
        preferredRenderer: "canvas",
        logLevel: "error",
    },
};

// Ruffle's own screens and dialogs: error notices, the hardware acceleration
// notice and the clipboard help carry links to web sites, and a child has no
// use for any of them.
const hiddenParts = "#panic, #message-overlay, #splash-screen, #unmute-overlay, #play-button, " +
    "#hardware-acceleration-modal, #clipboard-modal { display: none !important; }";

// How long Ruffle may take to accept a movie before it counts as broken.
const loadTimeoutMs = 10000;

// An empty movie, to tell a broken Ruffle from a broken movie.
const emptyMovie = new Uint8Array([0x46, 0x57, 0x53, 10, 15, 0, 0, 0, 0, 0, 24, 1, 0, 0, 0]);

function readBytes(url) {
    return new Promise((resolve, reject) => {
        const request = new XMLHttpRequest();
        request.open("GET", url);
        request.responseType = "arraybuffer";
        request.onload = () => resolve(request);
        request.onerror = () => reject(new Error("cannot read " + url));
        request.send();
    });
}

// Qt 6.4 refuses fetch() for custom URL schemes and Ruffle fetches its
// WebAssembly, so the page answers fetch() itself; nothing outside the
// page's own scheme is reachable.
window.fetch = async (resource) => {
    const url = new URL(resource instanceof Request ? resource.url : String(resource),
        document.baseURI);
    if (url.protocol !== location.protocol)
        throw new TypeError("refused: " + url.href);
    const reply = await readBytes(url.href);
    return new Response(reply.response, {
        headers: { "Content-Type": reply.getResponseHeader("Content-Type") || "" },
    });
};

// Nothing here may open a browser.
window.open = () => null;

function nextFrame() {
    return new Promise((resolve) => requestAnimationFrame(() => resolve()));
}

// Ruffle's "About Ruffle" item (in every language it names Ruffle and its
// version) would open Ruffle's web site: it is left out as Ruffle fills the
// menu, together with the separator before it, so the menu is measured and
// placed without it.
function leaveOutAbout(menu) {
    const version = window.RufflePlayer.newest().version.split("+")[0];
    const append = menu.appendChild.bind(menu);
    menu.appendChild = (item) => {
        const text = item.dataset.text || "";
        if (!(text.includes("Ruffle") && text.includes(version)))
            return append(item);
        if (menu.lastChild && menu.lastChild.classList.contains("menu-separator"))
            menu.lastChild.remove();
        return item;
    };
}

// Ruffle builds a whole new player core for every movie it loads, which
// takes longer than anything else between a key press and the new movie
// (20 to 70 ms of script here). So the spare player builds its core while
// it waits, and takes the movie as soon as it comes. Ruffle has no call for
// that: the spare's load is held between the core being built and the movie
// being read, through the player's inner object, caught as Ruffle makes the
// player. Without it (another Ruffle) the spare loads the ordinary way.
const innerPlayers = new WeakMap();

function createPlayer() {
    const remember = WeakMap.prototype.set;
    let inner = null;
    WeakMap.prototype.set = function (key, value) {
        if (value && typeof value.ensureFreshInstance === "function")
            inner = value;
        return remember.call(this, key, value);
    };
    let player;
    try {
        player = window.RufflePlayer.newest().createPlayer();
    } finally {
        WeakMap.prototype.set = remember;
    }
    if (inner)
        innerPlayers.set(player, inner);
    const style = document.createElement("style");
    style.textContent = hiddenParts;
    player.shadowRoot.appendChild(style);
    leaveOutAbout(player.shadowRoot.getElementById("context-menu"));
    return player;
}

// Starts building the player's core for a movie to come; returns the
// function that hands it the movie and resolves when Ruffle has it.
function prepare(player) {
    const options = { data: emptyMovie, swfFileName: "movie.swf" };
    const inner = innerPlayers.get(player);
    if (!inner)
        return (bytes) => player.ruffle().load({ ...options, data: bytes });
    let movieChosen;
    const chosen = new Promise((resolve) => (movieChosen = resolve));
    inner.ensureFreshInstance = async function () {
        delete this.ensureFreshInstance;
        await Object.getPrototypeOf(this).ensureFreshInstance.call(this);
        await chosen;
    };
    const loading = player.ruffle().load(options);
    return (bytes) => {
        options.data = bytes;
        movieChosen();
        return loading;
    };
}

function panicked(player) {
    return player.shadowRoot.getElementById("panic") !== null;
}

// Resolves to whether Ruffle took the movie. Ruffle reports a movie it cannot
// play only by putting up its error screen.
function startMovie(player, begin, bytes) {
    return new Promise((resolve) => {
        const done = (ok) => {
            clearTimeout(timer);
            watcher.disconnect();
            resolve(ok);
        };
        const timer = setTimeout(() => done(false), loadTimeoutMs);
        const watcher = new MutationObserver(() => {
            if (panicked(player))
                done(false);
        });
        watcher.observe(player.shadowRoot, { childList: true, subtree: true });
        player.addEventListener("loadeddata", () => done(true), { once: true });
        if (panicked(player))
            done(false);
        else
            begin(bytes).catch(() => done(false));
    });
}

// Two players take turns: the next movie starts in the spare, hidden while
// the movie shown in the other stays until the new one has drawn. Ruffle
// never lets go of a player element it has made (the document keeps
// listening for it), so a fresh one for every movie would add up over a
// child's session.
let shownPlayer = null;
let sparePlayer = null; // { player, begin }
let spareDue = null; // makes the next spare, once a new movie is shown

function newPlayer() {
    const player = createPlayer();
    player.className = "waiting";
    document.getElementById("stage").prepend(player);
    return player;
}

// Taken out of the page, a player stops its movie and frees its core; put
// back, it becomes the spare.
function makeSpare(player) {
    player.remove();
    if (sparePlayer)
        return;
    player.className = "waiting";
    document.getElementById("stage").prepend(player);
    sparePlayer = { player, begin: prepare(player) };
}

async function play(bytes) {
    if (spareDue)
        spareDue();
    const { player, begin } = sparePlayer || { player: newPlayer(), begin: null };
    sparePlayer = null;
    if (!(await startMovie(player, begin || prepare(player), bytes))) {
        // Ruffle would keep its error screen over every later movie in it.
        player.remove();
        return false;
    }
    // Ruffle draws the first frame in its next animation frame callback, which
    // comes before this one; the old movie goes in the same frame, so no
    // frame shows neither.
    await nextFrame();
    // Some movies load and then make Ruffle panic as it draws them.
    if (panicked(player)) {
        player.remove();
        return false;
    }
    player.className = "";
    const shown = shownPlayer;
    shownPlayer = player;
    if (shown) {
        shown.className = "waiting";
        shown.ruffle().suspend();
    }
    // Freeing one core and building another take a while: not before the
    // new movie is on its way to the screen.
    const due = () => {
        if (spareDue !== due)
            return;
        spareDue = null;
        if (shown)
            makeSpare(shown);
        else if (!sparePlayer)
            makeSpare(createPlayer());
    };
    spareDue = due;
    nextFrame()
        .then(nextFrame)
        .then(() => setTimeout(due, 0));
    return true;
}

// Whether Ruffle plays an empty movie; the player it used stays as the spare.
async function rufflePlaysAtAll() {
    const player = newPlayer();
    const ok = await startMovie(player, prepare(player), emptyMovie);
    if (ok)
        makeSpare(player);
    else
        player.remove();
    return ok;
}

async function readMovie(url) {
    let reply;
    try {
        reply = await readBytes(url);
    } catch (error) {
        console.warn(error);
        return null;
    }
    return reply.status === 200 ? reply.response : null;
}

// Resolves to true when the movie is shown now, false when Ruffle failed on
// it, and null when there was no movie to read: the program had already put
// the next one in its place. The movie comes in base64, or else from url.
async function playMovie(url, movie) {
    const bytes = movie ? Uint8Array.from(atob(movie), (c) => c.charCodeAt(0)).buffer
                        : await readMovie(url);
    if (bytes === null)
        return null;
    try {
        return await play(bytes);
    } catch (error) {
        console.warn(error);
        return false;
    }
}

// The movie shown stops, its frame about to go.
function stopMovie() {
    if (shownPlayer)
        shownPlayer.ruffle().suspend();
}

window.playMovie = playMovie;
window.stopMovie = stopMovie;
window.rufflePlaysAtAll = rufflePlaysAtAll;
