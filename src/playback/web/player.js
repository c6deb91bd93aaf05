// SPDX-License-Identifier: GPL-3.0-or-later
"use strict";

// The program's page. Ruffle runs in a frame of its own (stage.html): Ruffle
// 0.6 keeps a little memory from every movie it has played (about 0.2 MB
// here) and lets go of it only with the whole page it runs in, so after
// this many movies a fresh frame, made ready beforehand, takes over.
const moviesPerFrame = 50;

// Nothing here may open a browser either.
window.open = () => null;

function addFrame() {
    return new Promise((resolve) => {
        const frame = document.createElement("iframe");
        frame.addEventListener("load", () => resolve(frame), { once: true });
        frame.src = "stage.html";
        // Above the frame showing movies now, but invisible and out of reach
        // of the pointer until its first movie is drawn.
        frame.className = "waiting";
        document.getElementById("stage").append(frame);
    });
}

// A frame taken out of the page with its document still in it could keep
// that document's memory (its Ruffle's WebAssembly, 25 MB and more) long
// after, one more frame's worth at every change when movies came quickly.
// Emptied first, it lets go at once.
function retire(frame) {
    frame.className = "waiting";
    frame.addEventListener("load", () => frame.remove(), { once: true });
    frame.src = "about:blank";
}

function nextFrame() {
    return new Promise((resolve) => requestAnimationFrame(() => resolve()));
}

// Whatever goes wrong in a frame counts as a failure, never as no answer.
async function safely(action) {
    try {
        return await action();
    } catch (error) {
        console.warn(error);
        return false;
    }
}

let shownFrame = null; // { frame, movies }
let freshFrame = null; // { frame, ready } while a fresh frame gets ready

function prepareFreshFrame() {
    const pending = { frame: null, ready: false };
    freshFrame = pending;
    addFrame().then(async (frame) => {
        pending.frame = frame;
        pending.ready = await works(frame);
        if (!pending.ready) {
            retire(frame);
            if (freshFrame === pending)
                freshFrame = null;
        }
    });
}

// Resolves as the frame's playMovie does.
async function play(url, movie) {
    const target = freshFrame && freshFrame.ready ? freshFrame : shownFrame;
    const shown = await target.frame.contentWindow.playMovie(url, movie);
    if (shown !== true) {
        // The movie may have broken the fresh frame; another one comes later.
        if (target !== shownFrame && shown === false) {
            retire(target.frame);
            freshFrame = null;
        }
        return shown;
    }
    if (target !== shownFrame) {
        target.frame.className = "";
        const old = shownFrame.frame;
        old.className = "waiting";
        old.contentWindow.stopMovie();
        // Ending a whole frame takes a while: not before the new movie is on
        // its way to the screen.
        nextFrame()
            .then(nextFrame)
            .then(() => setTimeout(() => retire(old), 0));
        shownFrame = { frame: target.frame, movies: 0 };
        freshFrame = null;
    }
    if (++shownFrame.movies >= moviesPerFrame && !freshFrame)
        prepareFreshFrame();
    return true;
}

// Whether the frame's Ruffle still plays anything (an empty movie).
function works(frame) {
    return safely(() => frame.contentWindow.rufflePlaysAtAll());
}

async function replaceShownFrame() {
    retire(shownFrame.frame);
    const frame = await addFrame();
    frame.className = "";
    shownFrame = { frame, movies: 0 };
}

// A movie can make Ruffle panic (a bitmap too big to allocate, a string that
// doubles until memory runs out), as it loads or while it plays; from then on
// that Ruffle refuses every movie and keeps whatever memory the movie took.
// So after a failed load the frame has to play an empty movie, or a fresh
// frame takes its place and the movie gets a second chance there. A player
// that cannot play even in a fresh frame cannot start at all (its
// WebAssembly is damaged, say), which is worth telling from one bad movie.
async function load(bridge, ticket, url, movie) {
    let shown = await safely(() => play(url, movie));
    // A movie that was gone before it could be read says nothing about Ruffle.
    // A child holding a key down makes many: probing for each would cost a
    // player every time, and Ruffle keeps every player it has made.
    if (shown === null) {
        bridge.loadEnded(ticket, false);
        return;
    }
    if (!shown && !(await works(shownFrame.frame))) {
        await replaceShownFrame();
        if (!(await works(shownFrame.frame))) {
            bridge.ready(false);
            return;
        }
        shown = await safely(() => play(url, movie));
        if (!shown && !(await works(shownFrame.frame)))
            await replaceShownFrame();
    }
    bridge.loadEnded(ticket, shown);
}

// Ruffle compiles its WebAssembly with the first movie rather than with a
// movie of its own beforehand: the program asks for a movie as it starts, and
// one start-up of Ruffle is quicker than two.
window.addEventListener("load", async () => {
    const frame = await addFrame();
    frame.className = "";
    shownFrame = { frame, movies: 0 };
    new QWebChannel(qt.webChannelTransport, (channel) => {
        const bridge = channel.objects.player;
        bridge.loadRequested.connect((ticket, url, movie) => load(bridge, ticket, url, movie));
        bridge.ready(true);
    });
});
