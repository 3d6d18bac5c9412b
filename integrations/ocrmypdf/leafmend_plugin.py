# OCRmyPDF plugin: cleans each page with the `leafmend` command before OCR.
#
#   ocrmypdf --plugin integrations/ocrmypdf/leafmend_plugin.py --force-ocr \
#            --leafmend-job jobs/clean.xml in.pdf out.pdf
#
# By default the job runs on the page image OCRmyPDF puts into the PDF (filter_page_image) and on
# the image it gives to OCR (filter_ocr_image), so that the text layer is read from the cleaned page
# and lies on it. With --leafmend-ocr-only only the OCR image is cleaned, and only with steps that
# keep the page geometry. Both images keep their pixel size and resolution: a step that grows the
# canvas (a rotation) is cut back about the centre, so the PDF page keeps its physical size.
#
# The plugin keeps no state between calls (OCRmyPDF imports it in every worker process); each call
# works in its own folder under OCRmyPDF's work folder. Cost: one `leafmend` process per image.
from __future__ import annotations

import logging
import os
import shutil
import subprocess
import tempfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

from PIL import Image

from ocrmypdf import hookimpl
from ocrmypdf.exceptions import BadArgsError, MissingDependencyError, SubprocessOutputError

log = logging.getLogger(__name__)

REPOSITORY = Path(__file__).resolve().parents[2]
# The job used when neither --leafmend-job nor --leafmend-step is given.
DEFAULT_JOB = REPOSITORY / "jobs" / "clean.xml"
# Where the repository's build puts the command, tried after PATH.
BUILT_EXECUTABLE = REPOSITORY / "build" / "bin" / "leafmend"
# Used with --leafmend-ocr-only when no job or step is given: dust only (sized to the image's
# resolution, as in the main job), the geometry stays.
DEFAULT_OCR_ONLY_STEPS = ["Despeckle SIZE=4 CHARPRESERVE=1 SIZEDPI=300"]
# Processes that move, add or drop pixels; the OCR image alone must never be changed by them.
GEOMETRIC_PROCESSES = {"Rotate", "Deskew", "Straighten", "Crop", "Resize", "BorderPadding", "PageRemoval"}


@hookimpl
def add_options(parser):
    group = parser.add_argument_group("Leafmend", "Page cleaning with the leafmend command")
    group.add_argument(
        "--leafmend-job",
        metavar="FILE",
        help="A saved leafmend job (see 'leafmend save-job'). Default: jobs/clean.xml beside this "
        "plugin, or only a despeckle with --leafmend-ocr-only.",
    )
    group.add_argument(
        "--leafmend-step",
        metavar="PROCESS",
        action="append",
        default=[],
        help='A leafmend process with its properties, e.g. "Despeckle SIZE=2"; repeatable, run after '
        "the job's processes.",
    )
    group.add_argument(
        "--leafmend-ocr-only",
        action="store_true",
        help="Clean only the image given to OCR, with steps that keep the page geometry; the PDF "
        "keeps the original page image.",
    )
    group.add_argument(
        "--leafmend-bin",
        metavar="PATH",
        help="The leafmend executable (default: 'leafmend' on PATH, else build/bin/leafmend beside "
        "this plugin's repository).",
    )


def _page_is_rasterised(options) -> bool:
    """OCRmyPDF replaces the page by its (filtered) image only with one of these options."""
    return any(getattr(options, name, False) for name in ("force_ocr", "deskew", "clean_final", "remove_background"))


def _executable(options) -> str | None:
    given = getattr(options, "leafmend_bin", None)
    if given:
        return shutil.which(given) or (given if os.access(given, os.X_OK) else None)
    found = shutil.which("leafmend")
    if found is None and os.access(BUILT_EXECUTABLE, os.X_OK):
        found = str(BUILT_EXECUTABLE)
    return found


def _job(options) -> str | None:
    """The job file to run: the one given, else the default unless steps alone are given."""
    if options.leafmend_job:
        return options.leafmend_job
    if options.leafmend_step or options.leafmend_ocr_only:
        return None
    return str(DEFAULT_JOB)


def _steps(options) -> list[str]:
    if options.leafmend_ocr_only and not options.leafmend_job and not options.leafmend_step:
        return list(DEFAULT_OCR_ONLY_STEPS)
    return list(options.leafmend_step)


def _pipeline_arguments(options) -> list[str]:
    arguments = []
    job = _job(options)
    if job:
        arguments += ["--job", job]
    for step in _steps(options):
        arguments += ["-p", step]
    return arguments


def _process_names(options) -> list[str]:
    """Short names of every process the pipeline runs, job first."""
    names = []
    job = _job(options)
    if job:
        try:
            root = ElementTree.parse(job).getroot()
        except (OSError, ElementTree.ParseError) as e:
            raise BadArgsError(f"leafmend job {job}: {e}") from e
        for process in root.iter("Process"):
            prog_id = process.get("ProgID", "")
            parts = prog_id.split(".")
            names.append(parts[1] if len(parts) >= 2 else process.get("Name", prog_id))
    for step in _steps(options):
        first = step.split()[0] if step.split() else ""
        parts = first.split(".")
        names.append(parts[1] if len(parts) >= 3 else first)
    return names


def _run(options, image: Path, folder: Path, dry_run: bool = False) -> subprocess.CompletedProcess:
    command = [_executable(options) or "leafmend", "run", "-q", "--fail-fast"]
    if dry_run:
        command.append("--dry-run")
    command += _pipeline_arguments(options) + ["-o", str(folder), "--", str(image)]
    return subprocess.run(command, capture_output=True, text=True, check=False)


def _supports_dry_run(executable: str) -> bool:
    help_text = subprocess.run([executable, "run", "--help"], capture_output=True, text=True, check=False)
    return "--dry-run" in help_text.stdout


@hookimpl
def check_options(options):
    executable = _executable(options)
    if executable is None:
        raise MissingDependencyError(
            "leafmend: the 'leafmend' command was not found; put it on PATH or give --leafmend-bin"
        )
    options.leafmend_bin = os.path.abspath(executable)
    if not options.leafmend_ocr_only and not _page_is_rasterised(options):
        raise BadArgsError(
            "leafmend cleans the page image only when OCRmyPDF rasterises the whole page: add "
            "--force-ocr (or --deskew, --clean-final, --remove-background), or clean only what OCR "
            "sees with --leafmend-ocr-only"
        )
    if options.leafmend_job:
        if not os.path.isfile(options.leafmend_job):
            raise BadArgsError(f"leafmend job {options.leafmend_job}: no such file")
        options.leafmend_job = os.path.abspath(options.leafmend_job)
    if options.leafmend_ocr_only:
        moving = [name for name in _process_names(options) if name in GEOMETRIC_PROCESSES]
        if moving:
            raise BadArgsError(
                "--leafmend-ocr-only cleans only what OCR sees and must keep the page geometry; "
                f"the pipeline moves pixels with: {', '.join(moving)}"
            )
    # The job loads and runs: on a blank page in a throwaway folder (or with --dry-run, which writes
    # nothing, where this leafmend has it).
    with tempfile.TemporaryDirectory(prefix="leafmend-check-") as scratch:
        probe = Path(scratch) / "probe.png"
        Image.new("1", (64, 64), 1).save(probe, dpi=(300, 300))
        result = _run(options, probe, Path(scratch) / "out", dry_run=_supports_dry_run(options.leafmend_bin))
    if result.returncode != 0:
        raise BadArgsError(f"leafmend refused the pipeline {_pipeline_arguments(options)}: {_message(result)}")


def _message(result: subprocess.CompletedProcess) -> str:
    text = (result.stderr or result.stdout or "").strip()
    return text if text else f"exit code {result.returncode}"


def _fit(image: Image.Image, size: tuple[int, int]) -> Image.Image:
    """`image` cut or padded with white about its centre to `size`."""
    if image.size == size:
        return image
    white = {"1": 1, "L": 255, "LA": (255, 255), "RGB": (255, 255, 255), "RGBA": (255, 255, 255, 255)}
    if image.mode not in white:
        image = image.convert("RGB")
    fitted = Image.new(image.mode, size, white[image.mode])
    fitted.paste(image, ((size[0] - image.size[0]) // 2, (size[1] - image.size[1]) // 2))
    return fitted


def _clean(page, source: Path, work: Path, what: str, keep_size: bool) -> Image.Image:
    """Runs the pipeline on `source`; the cleaned image, at the source's size and resolution."""
    options = page.options
    out = work / "out"
    result = _run(options, source, out)
    cleaned_file = out / source.name
    if result.returncode != 0 or not cleaned_file.is_file():
        raise SubprocessOutputError(f"leafmend failed on page {page.pageno + 1} ({what}): {_message(result)}")
    with Image.open(source) as original:
        size, dpi = original.size, original.info.get("dpi", (300, 300))
    with Image.open(cleaned_file) as opened:
        cleaned = opened.copy()
    if cleaned.size != size:
        if keep_size:
            raise SubprocessOutputError(
                f"leafmend changed the size of page {page.pageno + 1} ({what}) from {size[0]}x{size[1]} "
                f"to {cleaned.size[0]}x{cleaned.size[1]}; OCR text would not lie on the page"
            )
        cleaned = _fit(cleaned, size)
    cleaned.info["dpi"] = dpi
    return cleaned


@hookimpl
def filter_page_image(page, image_filename):
    if page.options.leafmend_ocr_only:
        return image_filename
    image_filename = Path(image_filename)
    with tempfile.TemporaryDirectory(prefix="leafmend-", dir=image_filename.parent) as scratch:
        work = Path(scratch)
        source = work / ("page" + image_filename.suffix)
        shutil.copyfile(image_filename, source)
        cleaned = _clean(page, source, work, "page image", keep_size=False)
    output = image_filename.with_name(image_filename.stem + "_leafmend" + image_filename.suffix)
    cleaned.save(output, dpi=tuple(round(v) for v in cleaned.info["dpi"]), quality=95)
    return output


@hookimpl
def filter_ocr_image(page, image):
    with tempfile.TemporaryDirectory(prefix="leafmend-ocr-", dir=page.get_path("leafmend").parent) as scratch:
        work = Path(scratch)
        source = work / "ocr.png"
        dpi = image.info.get("dpi", (300, 300))
        image.save(source, dpi=tuple(round(v) for v in dpi))
        cleaned = _clean(page, source, work, "OCR image", keep_size=page.options.leafmend_ocr_only)
    cleaned.info["dpi"] = dpi
    return cleaned
